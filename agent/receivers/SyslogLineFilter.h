#pragma once

// The syslog filters that a subscribe-syslog message carries, and their test of a line.

#include "SyslogLine.h"
#include "common/IpAddressList.h"

#include <QDataStream>
#include <QExplicitlySharedDataPointer>
#include <QRegExp>
#include <QString>
#include <QStringList>

class CMonitorEvent;

// One syslog filter of a monitor. Built by fromStream on the link thread; its sender
// addresses are resolved before it reaches the syslog manager's matcher, which owns it from
// then on. Threads: matched on the manager's thread under the manager mutex only (QRegExp
// keeps its last match inside), never changed after it is filed.
class SyslogLineFilter
{
public:
    using Message = SyslogLine;

    SyslogLineFilter();

    // Reads a type id (any value is taken) and the body; the caller owns the result.
    static SyslogLineFilter* fromStream(QDataStream& in);
    void load(QDataStream& in);
    void save(QDataStream& out) const;
    // Type id 0, then the body.
    void write(QDataStream& out) const;

    int severityMask() const { return m_severityMask; }
    int facilityMask() const { return m_facilityMask; }

    // The IPv4 address texts the sender host stands for; a line from any other sender fails.
    void setSenderAddresses(const QStringList& addresses) { m_senderAddresses = addresses; }
    QStringList senderAddresses() const { return m_senderAddresses; }

    // Sender, severity, facility, APP-NAME, MSGID, PROCID, structured data, message, in that
    // order; the first test that fails rejects the line.
    bool matches(const SyslogLine& line) const;
    bool matchesMessage(const SyslogLine& line) const;
    bool matchesStructuredData(const SyslogLine& line) const;
    // "Syslog message: <display text>" as a status event that carries the line. Asked again
    // on the same thread for the same line, answers the same event.
    QExplicitlySharedDataPointer<CMonitorEvent> makeStatusEvent(const QExplicitlySharedDataPointer<const SyslogLine>& line) const;

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

private:
    QStringList m_senderAddresses;
};
