#include "ZamSnmpTrafficData.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

int ZamSnmpTrafficData::appendOwnOptions(std::vector<PluginOption>& options, bool speed)
{
    options.push_back({'R', "Interface Number", kInterfaceBit, nullptr, &interfaceText, nullptr});
    int required = kInterfaceBit | kDisplayBit | kDataSetBit;
    if (speed) {
        options.push_back({'i', "Interface Bandwidth, kbits/s", kBandwidthBit, &bandwidth, nullptr, nullptr});
        options.push_back({'E', "Show Traffic Speed as", kDisplayBit, &display, nullptr, nullptr});
        required |= kBandwidthBit;
    } else {
        options.push_back({'E', "Show Traffic Volume as", kDisplayBit, &display, nullptr, nullptr});
        options.push_back({'T', "Traffic Volume Summation Period", kPeriodBit, &period, nullptr, nullptr});
        required |= kPeriodBit;
    }
    options.push_back({'e', "Data Set", kDataSetBit, &dataSet, nullptr, nullptr});
    return required;
}

int ZamSnmpTrafficData::interfaceFromSetting(const std::string& text)
{
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    // A number past the ifIndex range would otherwise become some other interface.
    if (errno == ERANGE || value <= 0 || value > INT_MAX)
        return 0;
    return static_cast<int>(value);
}

QStringList ZamSnmpTrafficData::counterSet(int interfaceNumber, bool highCapacity)
{
    const QString index = QString::number(interfaceNumber);
    if (highCapacity)
        return {QStringLiteral(".1.3.6.1.2.1.1.3.0"), QStringLiteral(".1.3.6.1.2.1.31.1.1.1.6.") + index,
                QStringLiteral(".1.3.6.1.2.1.31.1.1.1.10.") + index};
    return {QStringLiteral(".1.3.6.1.2.1.1.3.0"), QStringLiteral(".1.3.6.1.2.1.2.2.1.10.") + index,
            QStringLiteral(".1.3.6.1.2.1.2.2.1.16.") + index};
}
