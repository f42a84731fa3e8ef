#include "stZamMonitor.h"
#include "CPollTaskAgentWithSettings.h"
#include "CMonitorRuntimeRegistry.h"
#include "CTaskThread.h"

CPollTaskAgentWithSettings::CPollTaskAgentWithSettings(int transactionId, const stZamMonitorPtr& record,
                                                       const SPollResultPtr& result)
    : CPollTaskAgentById(transactionId, Optional<int>(), result)
    , m_record(record)
{
}

void CPollTaskAgentWithSettings::exec(CTaskThread* thread)
{
    if (!m_record)
        throw std::runtime_error("cannot create common monitor data");
    // A private runtime data: a one-off monitor shares nothing with stored ones.
    CMonitorRuntimeData runtime(m_record->optMonitorId);
    runtime.load(m_record);
    pollWith(runtime, thread->monitorRegistry());
}
