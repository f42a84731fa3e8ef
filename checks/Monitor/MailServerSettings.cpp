#include "MailServerSettings.h"

#include "zam_monitor_helpers.h"

#include <cstring>

bool isProtocolArgument(const std::string& text)
{
    for (const char c : text) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b < 32 || b == 127)
            return false;
    }
    return true;
}

MailServerSettings::Take MailServerSettings::take(stZamMonitor* mon, const stZamSettingEntry& e, const char* portOkLog)
{
    const char* text = e.valueText ? e.valueText : "";
    switch (e.id) {
    case 'i':
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("check port"));
        if (static_cast<uint32_t>(e.valueInt) > 65535u) {
            setMonFailReason(mon, "Port is out of range");
            return PortOutOfRange;
        }
        port = static_cast<int>(static_cast<uint32_t>(e.valueInt));
        havePort = true;
        zamLogMonitorPlugin_QStr(mon, QString::fromLatin1(portOkLog));
        return Taken;
    case 'c':
        authentication = static_cast<int32_t>(e.valueInt) != 0;
        haveAuthentication = true;
        return Taken;
    case 'l':
        user = text;
        haveUser = true;
        return Taken;
    case 'p':
        password = text;
        havePassword = true;
        return Taken;
    case 'e':
        secureType = static_cast<int32_t>(e.valueInt);
        return Taken;
    case 'y':
        if (e.name && std::strcmp(e.name, "Ignore SSL certificate errors") == 0) {
            ignoreSslErrors = static_cast<int32_t>(e.valueInt) != 0;
            return Taken;
        }
        if (e.name && std::strcmp(e.name, "Use TLS v1.0 only") == 0) {
            tls10Only = static_cast<int32_t>(e.valueInt) != 0;
            return Taken;
        }
        return NotMine;
    default:
        return NotMine;
    }
}

bool MailServerSettings::complete() const
{
    if (!havePort || !haveAuthentication)
        return false;
    if (!authentication)
        return true;
    return haveUser && havePassword && isProtocolArgument(user) && isProtocolArgument(password);
}

bool MailServerSettings::setPortHint(stZamMonitor* mon, const char* protocol, int sslPort, int plainPort) const
{
    if (mon->mode != 0)
        return false;
    if (port == sslPort && secureType != 3) {
        setMonFailReasonFmt(mon,
                            "%s Port %d requires SSL connection by default. Please correct monitor setting '%s' on "
                            "Main parameters tab.",
                            protocol, port, "Secure Connection Type");
        return true;
    }
    if (port == plainPort && secureType == 3) {
        setMonFailReasonFmt(mon,
                            "%s Port %d requires non-SSL connection by default. Please correct monitor setting '%s' "
                            "on Main parameters tab.",
                            protocol, port, "Secure Connection Type");
        return true;
    }
    return false;
}
