#pragma once

#include "SMonitorStatus.h"
#include "receivers/CSnmpTrap.h"
#include "receivers/SyslogLine.h"

#include <QDataStream>
#include <QExplicitlySharedDataPointer>
#include <QSharedData>
#include <QString>

// A small record about one monitor sent to the central service outside the poll cycle.
// Events are built once and then shared read-only (QExplicitlySharedDataPointer).
// The wide flag of write/save/load selects the 64-bit form of status values.
class CMonitorEvent : public QSharedData
{
public:
    virtual ~CMonitorEvent();
    virtual void preHook();
    // The type id as int32, then the body.
    virtual void write(QDataStream& out, bool wide) const;
    virtual void save(QDataStream& out, bool wide) const;
    virtual void load(QDataStream& in, bool wide);
    virtual int typeId() const = 0;

    // Reads a type id and the body of that event; null (with a warning) for an id
    // outside 1..8, null also when the body is short or malformed.
    static QExplicitlySharedDataPointer<CMonitorEvent> fromStream(QDataStream& in, bool wide);
};

using CMonitorEventPtr = QExplicitlySharedDataPointer<CMonitorEvent>;

class CMonitorEventExec : public CMonitorEvent
{
public:
    virtual void execHook();
};

class CMonitorEventInit : public CMonitorEvent
{
public:
    int typeId() const override { return 1; }
};

class CMonitorEventTerm : public CMonitorEvent
{
public:
    int typeId() const override { return 2; }
};

class CMonitorEventSetStatus : public CMonitorEventExec
{
public:
    CMonitorEventSetStatus() = default;
    CMonitorEventSetStatus(const SMonitorStatus& status, const SMonitorStatusDetails& details);

    void save(QDataStream& out, bool wide) const override;
    void load(QDataStream& in, bool wide) override;
    int typeId() const override { return 3; }

    SMonitorStatus status;
    SMonitorStatusDetails details;
};

// Base of the events that carry one text.
template <class Base, int Id>
class CMonitorEventWithText : public Base
{
public:
    CMonitorEventWithText() = default;
    explicit CMonitorEventWithText(const QString& t) : text(t) {}

    void save(QDataStream& out, bool) const override { out << text; }
    void load(QDataStream& in, bool) override { in >> text; }
    int typeId() const override { return Id; }

    QString text;
};

class UdpReceiverIsOnMonitorEvent : public CMonitorEventWithText<CMonitorEventInit, 4>
{
public:
    using CMonitorEventWithText::CMonitorEventWithText;
};

class UdpReceiverIsOffMonitorEvent : public CMonitorEventWithText<CMonitorEventExec, 5>
{
public:
    using CMonitorEventWithText::CMonitorEventWithText;
};

class CMonitorEventMessagesLimit : public CMonitorEventWithText<CMonitorEventExec, 8>
{
public:
    using CMonitorEventWithText::CMonitorEventWithText;
};

// A status event that also carries the received record that set the status.
template <class T>
class CustomMonitorEventSetStatus : public CMonitorEventSetStatus
{
public:
    CustomMonitorEventSetStatus() = default;
    CustomMonitorEventSetStatus(const SMonitorStatus& s, const QExplicitlySharedDataPointer<const T>& p)
        : CMonitorEventSetStatus(s, SMonitorStatusDetails()), payload(p)
    {
    }

    void save(QDataStream& out, bool wide) const override
    {
        CMonitorEventSetStatus::save(out, wide);
        out << payload;
    }
    void load(QDataStream& in, bool wide) override
    {
        CMonitorEventSetStatus::load(in, wide);
        in >> payload;
    }

    QExplicitlySharedDataPointer<const T> payload;
};

class CSnmpMonitorEventSetStatus : public CustomMonitorEventSetStatus<CSnmpTrap>
{
public:
    using CustomMonitorEventSetStatus::CustomMonitorEventSetStatus;
    int typeId() const override { return 6; }
};

class SyslogMonitorEventSetStatus : public CustomMonitorEventSetStatus<SyslogLine>
{
public:
    using CustomMonitorEventSetStatus::CustomMonitorEventSetStatus;
    int typeId() const override { return 7; }
};
