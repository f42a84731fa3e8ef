#include "SnmpInterfaceTable.h"

std::string makeChoosenInterface(const SSnmpNetworkInterface& interface)
{
    return std::to_string(interface.index) + "(" + interface.description + ")";
}

std::string fillInterfacesTable(const QList<SSnmpNetworkInterface>& interfaces, const std::string& chosen)
{
    std::string text = chosen;
    text += kInterfaceTableSeparator;
    text += '5';
    for (const SSnmpNetworkInterface& i : interfaces) {
        text += kInterfaceTableSeparator;
        text += std::to_string(i.index);
        text += kInterfaceTableSeparator;
        text += i.description;
        text += kInterfaceTableSeparator;
        text += std::to_string(i.type);
        text += kInterfaceTableSeparator;
        text += i.addresses.join(QStringLiteral(", ")).toStdString();
        text += kInterfaceTableSeparator;
        text += std::to_string(i.bandwidth);
    }
    return text;
}

bool containsLoopback(const QStringList& addresses)
{
    for (const QString& a : addresses)
        if (a.startsWith(QLatin1String("127.")))
            return true;
    return false;
}

bool containsLinkLocal(const QStringList& addresses)
{
    for (const QString& a : addresses)
        if (a.startsWith(QLatin1String("169.254")))
            return true;
    return false;
}

bool isIPv6Address(const std::string& text)
{
    return text.find(':') != std::string::npos;
}

std::string physAddressText(const unsigned char* bytes, size_t length)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; bytes && i < length; ++i) {
        if (i)
            text += ':';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0xf];
    }
    return text;
}

uint64_t interfaceBandwidthKbps(uint64_t ifSpeed, int64_t ifHighSpeed)
{
    if (ifSpeed == 4294967295u) {
        if (ifHighSpeed < 0)
            return 4294967;
        ifSpeed = static_cast<uint64_t>(ifHighSpeed) * 1000000u;
    }
    return ifSpeed > 999 ? ifSpeed / 1000 : 100000;
}
