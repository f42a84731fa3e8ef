#include "LinkLocalIdentity.h"

#include "common/IpAddressList.h"
#include "common/WebUtils.h"

SLinkLocalIdentity linkLocalIdentity()
{
    SLinkLocalIdentity id;
    const CIpAddressRange local = CIpAddressRange::localHost();
    id.hostName = local.isHostName() && !local.hostName().isEmpty() ? local.hostName() : QStringLiteral("localhost");
    const Optional<QHostAddress> cached = local.cachedAddress();
    id.address = cached.hasValue() && !cached.valueOrEmpty().isNull() ? cached.valueOrEmpty().toString()
                                                                       : QStringLiteral("127.0.0.1");
    id.domain = local.domainName();
    id.addresses = WebUtils::getLocalAddresses().join(QLatin1Char('\n'));
    id.ipRange = CIpAddressRange::loopbackRange().toString();
    return id;
}
