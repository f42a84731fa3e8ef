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

    // Fills the record from one datagram in RFC 3164 or RFC 5424 form; true when it is valid.
    // parseStatus is "OK" or the text that rejected the line. Reads nothing past the datagram.
    bool parse(const QByteArray& datagram, const QString& senderAddress);

    // The raw text with its priority as "facility.SEVERITY: ".
    QString displayText() const { return displayText(QLatin1String()); }
    // The same after prefix, made in one allocation.
    QString displayText(QLatin1String prefix) const;
    // "facility.SEVERITY: appName".
    QString shortText() const;
    // Elements and parameters in ascending order: [id name="value"]...
    QString structuredDataText() const;
    // Eleven "Name = value" lines joined by "\n ".
    QString detailsText() const;

    bool parsePriority(const QString& field);
    bool parseRfc3164Time(const QString& text);
    bool parseTimeByPattern(const QString& text);
    bool parseRfc5424Time(const QString& text);
    bool parseStructuredData(const QByteArray& text);
};

// Names of the facility and severity bits (1 << number); a missing key gives an empty name.
QMap<qint64, QString> syslogFacilityNames();
QMap<qint64, QString> syslogSeverityNames();

using SyslogCallbackSharedDataPointer = QExplicitlySharedDataPointer<const SyslogLine>;

// Stream form: present flag (false for a null or invalid line), then the carried fields;
// sender, raw text and parse status do not travel.
QDataStream& operator<<(QDataStream& out, const QExplicitlySharedDataPointer<const SyslogLine>& line);
QDataStream& operator>>(QDataStream& in, QExplicitlySharedDataPointer<const SyslogLine>& line);
