#include "zam_resolve_ipv4.h"

#include "zam_monitor_helpers.h"

#include "common/WebUtils.h"

bool resolveMonitorIPv4(stZamMonitor* mon, QHostAddress& address)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("resolve address"));
    address.clear();
    const size_t nameLength = boundedLength(mon->hostName, ZAM_HOST_NAME_SIZE);
    const size_t addressLength = boundedLength(mon->hostAddress, ZAM_HOST_ADDRESS_SIZE);
    const QByteArray name(mon->hostName, static_cast<int>(nameLength));
    const QByteArray text(mon->hostAddress, static_cast<int>(addressLength));
    if (name.isEmpty() && text.isEmpty()) {
        setMonFailReason(mon, "hostname and IP address are not set");
        return false;
    }
    if (!name.isEmpty() && (mon->useHostName || text.isEmpty())) {
        // the address text the daemon had is kept when the name still resolves to it
        const QString answer = WebUtils::getIpByHostname(QString::fromUtf8(name), QString::fromLatin1(text));
        QHostAddress found;
        if (answer.isEmpty() || !found.setAddress(answer) || found.protocol() != QAbstractSocket::IPv4Protocol) {
            setMonFailReason(mon, "cannot resolve host IP address");
            return false;
        }
        address = found;
        safeCopy(mon->hostAddress, found.toString().toLatin1().constData(), ZAM_HOST_ADDRESS_SIZE - 1);
    } else {
        QHostAddress given;
        if (!given.setAddress(QString::fromLatin1(text)) || given.protocol() != QAbstractSocket::IPv4Protocol) {
            setMonFailReason(mon, "invalid host IP address");
            return false;
        }
        address = given;
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("resolve address ok: '%1'").arg(address.toString()));
    return true;
}
