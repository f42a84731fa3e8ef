#pragma once
// The plug-in data of a traffic speed or volume monitor: its SNMP settings (CSnmpMonitorJob),
// the interface it watches, how it shows the figure, and the counter OIDs that answered, so
// later polls ask only for them.
// Threads and ownership: as CSnmpJob (one poll at a time, owned by the monitor's plug-in data
// slot, deleted through the virtual destructor by invalidate_snmp_traffic).

#include "CSnmpMonitorJob.h"

#include <QStringList>

class ZamSnmpTrafficData : public CSnmpMonitorJob
{
public:
    enum OwnBits {
        kInterfaceBit = kFirstTypeBit,
        kBandwidthBit = kFirstTypeBit << 1,
        kDisplayBit = kFirstTypeBit << 2,
        kDataSetBit = kFirstTypeBit << 3,
        kPeriodBit = kFirstTypeBit << 4,
    };

    explicit ZamSnmpTrafficData(stZamMonitor* mon) : CSnmpMonitorJob(mon) {}

    // The traffic type's own rows; answers the bits that must be found besides Port and
    // SNMP Version.
    int appendOwnOptions(std::vector<PluginOption>& options, bool speed);

    // The leading decimal number of the "Interface Number" text: a plain number, or an interface
    // table whose first field is the chosen ifIndex. 0 when there is none or it is out of range.
    static int interfaceFromSetting(const std::string& text);

    // The three counter OIDs (sysUpTime, inbound, outbound) of one interface: 64-bit or 32-bit.
    static QStringList counterSet(int interfaceNumber, bool highCapacity);
    void saveCounterSet(const QStringList& set)
    {
        savedSet = set;
        saved = true;
    }

    std::string interfaceText;
    int interfaceNumber = 0;
    int bandwidth = 0;   // kbit/s, speed only
    int display = 0;     // "Show Traffic Speed as" / "Show Traffic Volume as"
    int dataSet = 3;     // bit 0 inbound, bit 1 outbound
    int period = 86400;  // seconds, volume only; summed by the service
    QStringList savedSet;
    bool saved = false;
};
