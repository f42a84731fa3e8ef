#include "AresQueryResult.h"

#include "DnsAnswer.h"
#include "zam_host.h"
#include "zam_monitor_helpers.h"

#include <QString>

AresQueryResult::AresQueryResult(stZamMonitor* mon, int wantedType, int secondWantedType)
    : m_wantedType(wantedType), m_secondWantedType(secondWantedType), m_mon(mon)
{
}

void AresQueryResult::callback(void* arg, int status, int timeouts, unsigned char* reply, int length)
{
    if (arg == nullptr) {
        zamLogMessage(ZAM_LOG_TRACE, "bad result in callback");
        return;
    }
    static_cast<AresQueryResult*>(arg)->take(status, timeouts, reply, length);
}

void AresQueryResult::take(int status, int timeouts, const unsigned char* reply, int length)
{
    m_done = true;
    m_status = status;
    m_timeouts = timeouts;
    if (status != 0)
        return;
    const DnsAnswer answer = parseDnsAnswer(reply, length > 0 ? static_cast<size_t>(length) : 0, m_wantedType,
                                            m_secondWantedType);
    for (const std::string& note : answer.notes)
        zamLogMonitorPlugin_QStr(m_mon, QString::fromStdString(note));
    m_values = answer.values;
}
