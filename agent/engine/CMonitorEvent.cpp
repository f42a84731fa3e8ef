#include "CMonitorEvent.h"

#include <QtDebug>

CMonitorEvent::~CMonitorEvent() = default;

void CMonitorEvent::preHook() {}

void CMonitorEvent::write(QDataStream& out, bool wide) const
{
    out << qint32(typeId());
    save(out, wide);
}

void CMonitorEvent::save(QDataStream&, bool) const {}

void CMonitorEvent::load(QDataStream&, bool) {}

void CMonitorEventExec::execHook() {}

CMonitorEventSetStatus::CMonitorEventSetStatus(const SMonitorStatus& s, const SMonitorStatusDetails& d)
    : status(s), details(d)
{
}

void CMonitorEventSetStatus::save(QDataStream& out, bool wide) const
{
    writeStatusBody(out, status, details, wide);
}

void CMonitorEventSetStatus::load(QDataStream& in, bool wide)
{
    readStatusBody(in, status, details, wide);
}

QExplicitlySharedDataPointer<CMonitorEvent> CMonitorEvent::fromStream(QDataStream& in, bool wide)
{
    qint32 id = 0;
    in >> id;
    if (in.status() != QDataStream::Ok)
        return {};
    QExplicitlySharedDataPointer<CMonitorEvent> event;
    switch (id) {
    case 1: event = new CMonitorEventInit; break;
    case 2: event = new CMonitorEventTerm; break;
    case 3: event = new CMonitorEventSetStatus; break;
    case 4: event = new UdpReceiverIsOnMonitorEvent; break;
    case 5: event = new UdpReceiverIsOffMonitorEvent; break;
    case 6: event = new CSnmpMonitorEventSetStatus; break;
    case 7: event = new SyslogMonitorEventSetStatus; break;
    case 8: event = new CMonitorEventMessagesLimit; break;
    default:
        qWarning().noquote() << QStringLiteral("cannot parse snmp event with ID=%1").arg(id);
        return {};
    }
    event->load(in, wide);
    if (in.status() != QDataStream::Ok)
        return {};
    return event;
}
