#pragma once

// Stream form of the syslog filters that a subscribe-syslog message carries.

#include "common/IpAddressList.h"

#include <QDataStream>
#include <QRegExp>
#include <QString>

// One syslog filter of a monitor. Built by fromStream on the link thread, then owned by
// the syslog manager's matcher; never changed after reading.
class SyslogLineFilter
{
public:
    SyslogLineFilter();

    // Reads a type id (any value is taken) and the body; the caller owns the result.
    static SyslogLineFilter* fromStream(QDataStream& in);
    void load(QDataStream& in);
    void save(QDataStream& out) const;
    // Type id 0, then the body.
    void write(QDataStream& out) const;

    int severityMask() const { return m_severityMask; }
    int facilityMask() const { return m_facilityMask; }

    CIpAddressRange address;
    int key = 1;
    QRegExp messagePattern;
    QRegExp excludePattern;
    bool checkMessage = false;
    QString messageIdText{QLatin1String("")};
    int processId = -1;
    int m_severityMask = 0xFF;
    int m_facilityMask = 0xFFFFFF;
    QString extraText;
    QString appNameText{QLatin1String("")};
    QString structuredDataCondition{QLatin1String("")};
};
