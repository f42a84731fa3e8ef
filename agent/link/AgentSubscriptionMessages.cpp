#include "AgentSubscriptionMessages.h"

#include "common/DataStreamLimits.h"
#include "receivers/CSnmpTrapFilter.h"
#include "receivers/SyslogLineFilter.h"

#include <QDataStream>

namespace {

constexpr int LinkStreamVersion = 7;
// No filter's stream form is shorter than this; a count is checked against it.
constexpr qint64 MinFilterBytes = 16;

// Reads the monitor id and the filters; false (with the reason) when the record does
// not hold what its count says.
template <class Filter, class MakeFilter>
bool readFilters(QDataStream& in, qint32& monitorId, bool& monitorIdRead, QList<Filter*>& filters, QString& error,
                 MakeFilter make)
{
    qint32 count = 0;
    in >> monitorId;
    monitorIdRead = in.status() == QDataStream::Ok;
    in >> count;
    if (in.status() != QDataStream::Ok) {
        error = QStringLiteral("record too short");
        return false;
    }
    if (!streamCountFits(in, count, MinFilterBytes)) {
        error = QStringLiteral("filter count %1 does not fit the record").arg(count);
        return false;
    }
    for (qint32 i = 0; i < count; ++i) {
        Filter* f = make(in);
        if (!f) {
            error = QStringLiteral("filter %1 cannot be read").arg(i);
            return false;
        }
        filters.append(f);  // the caller deletes it with the others on failure
        if (in.status() != QDataStream::Ok) {
            error = QStringLiteral("filter %1 is short or malformed").arg(i);
            return false;
        }
    }
    return true;
}

} // namespace

CSubscribeSnmp::CSubscribeSnmp(const QByteArray& data, int id) : CAgentMessage(Type, id), snmpMonData(data) {}

CSubscribeSnmp::~CSubscribeSnmp()
{
    clearFilters();
}

void CSubscribeSnmp::clearFilters()
{
    qDeleteAll(m_filters);
    m_filters.clear();
}

QList<CSnmpTrapFilter*> CSubscribeSnmp::takeFilters()
{
    QList<CSnmpTrapFilter*> out;
    out.swap(m_filters);
    return out;
}

void CSubscribeSnmp::bindFields()
{
    bindBytes("snmp_mon_data", &snmpMonData);
}

void CSubscribeSnmp::readRawData(bool)
{
    clearFilters();
    recordError.clear();
    QDataStream in(snmpMonData);
    in.setVersion(LinkStreamVersion);
    auto make = [](QDataStream& s) { return CSnmpTrapFilter::fromStream(s); };
    if (!readFilters(in, monitorId, monitorIdRead, m_filters, recordError, make)) {
        clearFilters();
        return;
    }
    in >> limit.on >> limit.value1 >> limit.value2;
    in >> user.userName >> user.authProtocol >> user.authPassphrase >> user.privProtocol >> user.privPassphrase;
    if (in.status() != QDataStream::Ok) {
        recordError = QStringLiteral("record too short");
        clearFilters();
    }
}

CUnsubscribeSnmp::CUnsubscribeSnmp(qint32 monId_, int id) : CAgentMessage(Type, id), monId(monId_) {}

void CUnsubscribeSnmp::bindFields()
{
    bindInt("mon_id", &monId);
}

CSubscribeSyslog::CSubscribeSyslog(const QByteArray& data, int id) : CAgentMessage(Type, id), syslogMonData(data) {}

CSubscribeSyslog::~CSubscribeSyslog()
{
    clearFilters();
}

void CSubscribeSyslog::clearFilters()
{
    qDeleteAll(m_filters);
    m_filters.clear();
}

QList<SyslogLineFilter*> CSubscribeSyslog::takeFilters()
{
    QList<SyslogLineFilter*> out;
    out.swap(m_filters);
    return out;
}

void CSubscribeSyslog::bindFields()
{
    bindBytes("syslog_mon_data", &syslogMonData);
}

void CSubscribeSyslog::readRawData(bool)
{
    clearFilters();
    recordError.clear();
    QDataStream in(syslogMonData);
    in.setVersion(LinkStreamVersion);
    auto make = [](QDataStream& s) { return SyslogLineFilter::fromStream(s); };
    if (!readFilters(in, monitorId, monitorIdRead, m_filters, recordError, make)) {
        clearFilters();
        return;
    }
    in >> limit.on >> limit.value1 >> limit.value2;
    if (in.status() != QDataStream::Ok) {
        recordError = QStringLiteral("record too short");
        clearFilters();
    }
}

CUnsubscribeSyslog::CUnsubscribeSyslog(qint32 monId_, int id) : CAgentMessage(Type, id), monId(monId_) {}

void CUnsubscribeSyslog::bindFields()
{
    bindInt("mon_id", &monId);
}

QByteArray writeTrapSubscriptionRecord(qint32 monitorId, const QList<const CSnmpTrapFilter*>& filters,
                                       const SUdpMessagesLimit& limit, const SSnmpTrapCredential& user)
{
    QByteArray record;
    QDataStream out(&record, QIODevice::WriteOnly);
    out.setVersion(LinkStreamVersion);
    out << monitorId << qint32(filters.size());
    for (const CSnmpTrapFilter* f : filters)
        f->toStream(out);
    out << limit.on << limit.value1 << limit.value2;
    out << user.userName << user.authProtocol << user.authPassphrase << user.privProtocol << user.privPassphrase;
    return record;
}

QByteArray writeSyslogSubscriptionRecord(qint32 monitorId, const QList<const SyslogLineFilter*>& filters,
                                         const SUdpMessagesLimit& limit)
{
    QByteArray record;
    QDataStream out(&record, QIODevice::WriteOnly);
    out.setVersion(LinkStreamVersion);
    out << monitorId << qint32(filters.size());
    for (const SyslogLineFilter* f : filters)
        f->write(out);
    out << limit.on << limit.value1 << limit.value2;
    return record;
}
