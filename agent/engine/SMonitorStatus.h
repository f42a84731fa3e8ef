#pragma once

#include <QDataStream>
#include <QDateTime>
#include <QString>
#include <QStringList>

// An optional status value: kind 1 none, 2 a value, 3 a third state without value.
struct SStatusValue
{
    int kind = 1;
    qint64 value = 0;

    bool operator==(const SStatusValue& o) const { return kind == o.kind && value == o.value; }
};

// The 32-bit form of a status value, as it travels when 64-bit values are off.
struct SPackedStatusValue
{
    int kind = 1;
    qint32 value = 0;
};

// Kind 2 keeps the low 32 bits, kind 3 stands alone, any kind without bit 1 becomes 1.
SPackedStatusValue packStatusValue(const SStatusValue& v);
// Kind 2 sign-extends, kind 3 stands alone, any kind without bit 1 becomes 1.
SStatusValue unpackStatusValue(const SPackedStatusValue& p);

// The status a monitor event carries. A plain value; no lock.
struct SMonitorStatus
{
    quint8 built = 0;
    int status = 3;
    int second = 5;   // enumeration stored as 1..4
    int third = -1;   // enumeration stored as 0..2
    SStatusValue value;
    QString text{QLatin1String("")};
    QString secondText{QLatin1String("")};
    QStringList list;
    QDateTime time;
    int flags = 0;

    SMonitorStatus() = default;
    SMonitorStatus(int status, int second, int third, const SStatusValue& value, const QString& text,
                   const QString& secondText, const QStringList& list, const QDateTime& time, int flags);
};

struct SMonitorStatusDetails
{
    bool present = false;
    // Empty, not null: they travel as zero-length strings.
    QString text1{QLatin1String("")};
    QString text2{QLatin1String("")};
    QString text3{QLatin1String("")};
    QString text4{QLatin1String("")};
    int extra = 0;  // not streamed
};

QDataStream& operator<<(QDataStream& out, const SMonitorStatusDetails& d);
QDataStream& operator>>(QDataStream& in, SMonitorStatusDetails& d);

// The status body of a status event: second, third, value (64-bit with wide set, else
// packed to 32 bits), the two texts, the details and the string list.
void writeStatusBody(QDataStream& out, const SMonitorStatus& status, const SMonitorStatusDetails& details, bool wide);
// Reads it back; the status is rebuilt with status 1, null time and flags 0.
void readStatusBody(QDataStream& in, SMonitorStatus& status, SMonitorStatusDetails& details, bool wide);
