#pragma once

#include <QDataStream>
#include <QDateTime>
#include <QExplicitlySharedDataPointer>
#include <QMap>
#include <QSharedData>
#include <QString>

// The record of one received syslog datagram. Built once, then shared read-only
// between threads through QExplicitlySharedDataPointer<const SyslogLine>.
class SyslogLine : public QSharedData
{
public:
    SyslogLine() = default;
    virtual ~SyslogLine() = default;

    bool isRfc5424 = false;
    QString sender{QLatin1String("")};
    QString hostName;
    QString appName{QLatin1String("")};
    int priority = 0;
    int facility = 0;
    int severity = 0;
    QDateTime timestamp;
    QString message{QLatin1String("")};
    int processId = -1;
    QString messageId{QLatin1String("")};
    bool valid = false;
    QMap<QString, QMap<QString, QString>> structuredData;
    QString rawText;
    QString parseStatus;
};

using SyslogCallbackSharedDataPointer = QExplicitlySharedDataPointer<const SyslogLine>;

// Stream form: present flag (false for a null or invalid line), then the carried fields;
// sender, raw text and parse status do not travel.
QDataStream& operator<<(QDataStream& out, const QExplicitlySharedDataPointer<const SyslogLine>& line);
QDataStream& operator>>(QDataStream& in, QExplicitlySharedDataPointer<const SyslogLine>& line);
