#include "SyslogLineFilter.h"

SyslogLineFilter::SyslogLineFilter()
    : address(CIpAddressRange::fromHostName(QString(), Optional<QHostAddress>()))
{
}

SyslogLineFilter* SyslogLineFilter::fromStream(QDataStream& in)
{
    qint32 typeId = 0;
    in >> typeId;
    auto* filter = new SyslogLineFilter;
    filter->load(in);
    return filter;
}

void SyslogLineFilter::load(QDataStream& in)
{
    qint32 k = 0, pid = 0, sev = 0, fac = 0;
    in >> address >> k >> messagePattern >> excludePattern >> checkMessage >> messageIdText >> pid >> sev >> fac
        >> extraText >> appNameText >> structuredDataCondition;
    key = k;
    processId = pid;
    m_severityMask = sev;
    m_facilityMask = fac;
}

void SyslogLineFilter::save(QDataStream& out) const
{
    out << address << qint32(key) << messagePattern << excludePattern << checkMessage << messageIdText
        << qint32(processId) << qint32(m_severityMask) << qint32(m_facilityMask) << extraText << appNameText
        << structuredDataCondition;
}

void SyslogLineFilter::write(QDataStream& out) const
{
    out << qint32(0);
    save(out);
}
