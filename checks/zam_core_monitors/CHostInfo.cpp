#include "CHostInfo.h"

#include "zam_plugin_api.h"

#include <QString>
#include "common/WebUtils.h"
#include "zam_host.h"
#include "zam_monitor_helpers.h"

#include <QUrl>
#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <netinet/in.h>

namespace {

const char kAsyncResolveService[] = "void_asyncResolve_int_constchar*_constchar*";
const char kGlobalSettingsService[] = "PluginGlobalSettings_getInterface";

using AsyncResolveFn = void (*)(int kind, const char* first, const char* second);
using GlobalSettingsFn = IPluginGlobalSettings* (*)();

// Written by whichever polling thread asks first; read by all.
std::atomic<IPluginGlobalSettings*> g_globalSettings{nullptr};

// The fixed fields need not hold a terminating zero; never read past them.
QByteArray hostNameBytes(const stZamMonitor* mon)
{
    return QByteArray(mon->hostName, static_cast<int>(boundedLength(mon->hostName, ZAM_HOST_NAME_SIZE)));
}

QByteArray hostAddressBytes(const stZamMonitor* mon)
{
    return QByteArray(mon->hostAddress, static_cast<int>(boundedLength(mon->hostAddress, ZAM_HOST_ADDRESS_SIZE)));
}

bool parseIPv4(const QString& text, QHostAddress& out)
{
    QHostAddress a;
    if (text.isEmpty() || !a.setAddress(text) || a.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    out = a;
    return true;
}

void requestBackground(const stZamMonitor* mon, int kind, const QByteArray& name, const QByteArray& address)
{
    if (mon->mode != 0)
        return;
    if (kind == CHostInfo::ResolveName)
        CHostInfo::doResolveAsync(kind, name.constData(), address.constData());
    else
        CHostInfo::doResolveAsync(kind, address.constData(), name.constData());
}

} // namespace

bool CHostInfo::testParameters(stZamMonitor* mon)
{
    if (!mon)
        return false;
    if (mon->hostName[0] != '\0' || mon->hostAddress[0] != '\0')
        return true;
    setMonFailReason(mon, "hostname and IP address are not set");
    return false;
}

int CHostInfo::resolveToAddr(stZamMonitor* mon, QHostAddress& address)
{
    address.clear();
    if (!mon)
        return 0;
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("resolve address"));
    const QByteArray name = hostNameBytes(mon);
    const QByteArray addressText = hostAddressBytes(mon);

    if (!name.isEmpty() && (mon->useHostName != 0 || addressText.isEmpty())) {
        const QString answer = WebUtils::getIpByHostname(QString::fromUtf8(name), QString::fromLatin1(addressText));
        QHostAddress resolved;
        // The field keeps a terminating zero; a text that does not fit is no usable address.
        const QByteArray answerBytes = answer.toLatin1();
        if (!parseIPv4(answer, resolved) || answerBytes.size() >= ZAM_HOST_ADDRESS_SIZE) {
            setMonFailReason(mon, "cannot resolve host IP address");
            return 0;
        }
        std::memset(mon->hostAddress, 0, ZAM_HOST_ADDRESS_SIZE);
        std::memcpy(mon->hostAddress, answerBytes.constData(), static_cast<size_t>(answerBytes.size()));
        address = resolved;
    } else {
        if (name.isEmpty() && addressText.isEmpty()) {
            testParameters(mon);
            return 0;
        }
        if (!parseIPv4(QString::fromLatin1(addressText), address)) {
            address.clear();
            setMonFailReason(mon, "invalid host IP address");
            return 0;
        }
        requestBackground(mon, ResolveAddress, name, addressText);
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("resolve address ok: '%1'").arg(address.toString()));
    return 1;
}

int CHostInfo::resolveForUnc(stZamMonitor* mon, QByteArray& text)
{
    text.clear();
    QHostAddress address;
    if (!resolveToAddr(mon, address))
        return 0;
    text = address.toString().toLatin1();
    return 1;
}

int CHostInfo::resolveAsync(stZamMonitor* mon, QByteArray& name)
{
    name.clear();
    if (!mon)
        return 0;
    const QByteArray hostName = hostNameBytes(mon);
    const QByteArray addressText = hostAddressBytes(mon);
    if (hostName.isEmpty() && addressText.isEmpty()) {
        testParameters(mon);
        return 0;
    }
    if (!hostName.isEmpty() && (mon->useHostName != 0 || addressText.isEmpty())) {
        name = QUrl::toAce(QString::fromUtf8(hostName));
        // A name that has no ACE form is passed on as it is, so the connection fails on the
        // name itself rather than on an empty text.
        if (name.isEmpty())
            name = hostName;
        requestBackground(mon, ResolveName, hostName, addressText);
        return 1;
    }
    name = addressText;
    requestBackground(mon, ResolveAddress, hostName, addressText);
    return 1;
}

void CHostInfo::fillAddr(sockaddr_in& addr, const QHostAddress& address, quint16 port)
{
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(address.toIPv4Address());
}

void CHostInfo::doResolveAsync(int kind, const char* first, const char* second)
{
    const auto fn = reinterpret_cast<AsyncResolveFn>(zamGetServiceData(kAsyncResolveService));
    if (fn)
        fn(kind, first ? first : "", second ? second : "");
}

IPluginGlobalSettings* getPluginGlobalSettings()
{
    if (IPluginGlobalSettings* cached = g_globalSettings.load(std::memory_order_acquire))
        return cached;
    const auto fn = reinterpret_cast<GlobalSettingsFn>(zamGetServiceData(kGlobalSettingsService));
    if (!fn)
        return nullptr;
    IPluginGlobalSettings* settings = fn();
    if (settings)
        g_globalSettings.store(settings, std::memory_order_release);
    return settings;
}
