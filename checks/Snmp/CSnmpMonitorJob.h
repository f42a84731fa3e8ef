#pragma once
// The job of an SNMP monitor type: CSnmpJob with its monitor, the generic value type's
// settings and the state kept between polls. Failures land in the monitor's fail reason.
// Threads and ownership: as CSnmpJob (one poll at a time, owned by the monitor's slot).

#include "CSnmpJob.h"

#include <QStringList>

class CSnmpMonitorJob : public CSnmpJob
{
public:
    explicit CSnmpMonitorJob(stZamMonitor* mon) : m_monitor(mon) {}

    stZamMonitor* monitor() const override { return m_monitor; }
    // The record of the current poll (a host may hand over a new record for the same monitor).
    void setMonitor(stZamMonitor* mon) { m_monitor = mon; }
    // Sets the monitor's fail reason (prepareFailReason) and failure result; answers `code`.
    int onError(const char* text, void* session, void* sessionHandle, int code) override;
    static int onMonError(stZamMonitor* mon, const char* text, void* session, void* sessionHandle, int code);

    // 0 when the common settings are usable (the version is then 1..3), else 1 with the reason
    // set. `found`: the CommonBits that pluginParseSettings found.
    int validate(int found);

    int counterType = 0;
    std::string displayHint;
    double divisor = 1.0;
    int preset = 0;
    QString previousValue;
    QStringList list1;
    QStringList list2;

private:
    stZamMonitor* m_monitor;
};
