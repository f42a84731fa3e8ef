#include "stZamMonitor.h"
#include "CPollTaskAgentById.h"
#include "BuildNewMonitorInfo.h"
#include "CMonitorRuntimeRegistry.h"
#include "CTaskClock.h"
#include "CTaskThread.h"
#include "core/CNetworkMonitor.h"
#include "CTaskManager.h"
#include "IEngineOutput.h"

#include <QMutexLocker>

namespace {
QMutex g_sinkMutex;
CPollTaskAgentById::ResultSink g_sink;

// Ends the poll count and takes the task's callbacks out of the record on every way out.
struct PollScope
{
    CMonitorRuntimeData& runtime;
    stZamMonitor& record;
    bool ended = false;
    void end()
    {
        if (ended)
            return;
        ended = true;
        runtime.endPoll();
        record.stillAlive = nullptr;
        record.stillAliveContext = nullptr;
        record.addNewMonitorFn = nullptr;
        record.addNewMonitorContext = nullptr;
    }
    ~PollScope() { end(); }
};
}

CPollTaskAgentById::CPollTaskAgentById(int transactionId, const Optional<int>& monitorId, const SPollResultPtr& result)
    : CTask(QStringLiteral("poll monitor %1").arg(monitorId.hasValue() ? monitorId.rawValue() : -1))
    , m_transactionId(transactionId)
    , m_monitorId(monitorId)
    , m_result(result ? result : SPollResultPtr(new SPollResult))
{
}

void CPollTaskAgentById::setResultSink(const ResultSink& sink)
{
    QMutexLocker locker(&g_sinkMutex);
    g_sink = sink;
}

std::optional<int> CPollTaskAgentById::objectKey() const
{
    if (m_monitorId.hasValue())
        return m_monitorId.rawValue();
    return std::nullopt;
}

int CPollTaskAgentById::deadlockThreshold() const
{
    QMutexLocker locker(&m_thresholdMutex);
    return m_deadlockThreshold;
}

bool CPollTaskAgentById::isDeadlocked(int seconds)
{
    return seconds > 300 && seconds > deadlockThreshold();
}

void CPollTaskAgentById::stop()
{
    m_stopRequested = true;
    setState(1);
}

void CPollTaskAgentById::exec(CTaskThread* thread)
{
    if (m_stopRequested)
        return;
    if (!m_monitorId.hasValue()) {
        writeResult([](SPollResult& r) { r.state = SPollResult::NoMonitorId; });
        return;
    }
    CMonitorRuntimeRegistry& registry = thread->monitorRegistry();
    bool notFound = false, changed = false, third = false;
    const CMonitorRuntimeDataPtr runtime = registry.get(m_monitorId.rawValue(), &notFound, &changed, &third);
    if (notFound) {
        writeResult([](SPollResult& r) { r.state = SPollResult::MonitorNotFound; });
        return;
    }
    pollWith(*runtime, registry);
}

void CPollTaskAgentById::pollWith(CMonitorRuntimeData& r, CMonitorRuntimeRegistry& registry)
{
    writeResult([](SPollResult& result) {
        result.state = SPollResult::Running;
        result.pollReturn = 1;
        result.newMonitors.clear();
    });
    if (!r.record)
        throw std::runtime_error("cannot create common monitor data");
    stZamMonitor& m = *r.record;

    const CPluginThreadInstancePtr plugin = registry.pluginFor(r.pluginId);
    {
        QMutexLocker locker(&m_thresholdMutex);
        m_deadlockThreshold = static_cast<int>(static_cast<qint64>(r.timeoutMs) * 3 / 1000);
    }
    r.lastUse = CTaskClock::current()->now();
    m.stillAlive = &CPollTaskAgentById::pollTaskStillAlive;
    m.stillAliveContext = this;
    m.addNewMonitorFn = m.mode == 2 ? &CPollTaskAgentById::pollTaskAddNewMonitor : nullptr;
    m.addNewMonitorContext = this;
    markStarted();
    r.lastUse = CTaskClock::current()->now();

    PollScope scope{r, m};
    r.beginPoll();
    m.prepareForPoll();
    m.clearOutcomeBlock();
    m.cachedData = r.commonData().cachedData();
    const int rc = plugin->poll(&m, r.name);
    r.commonData().setCachedData(m.cachedData);
    scope.end();
    writeResult([rc](SPollResult& result) { result.pollReturn = rc; });

    if (!m_monitorId.hasValue()) {
        r.lastUse = CTaskClock::current()->now();
        registry.invalidate(r, ZAM_INVALIDATE_CACHED_DATA | ZAM_INVALIDATE_PLUGIN_DATA);
    }
    writeResult([&m](SPollResult& result) {
        result.state = SPollResult::Polled;
        fillPollResult(result, m);
    });
}

void CPollTaskAgentById::fillPollResult(SPollResult& result, const stZamMonitor& m)
{
    result.outcome = m.outcomeBlock();
    result.resultSections = m.resultSections;
    result.failReason = m.failReasonText();
    result.hostName = QByteArray(m.hostName, static_cast<int>(qstrnlen(m.hostName, sizeof(m.hostName))));
    result.hostAddress = QByteArray(m.hostAddress, static_cast<int>(qstrnlen(m.hostAddress, sizeof(m.hostAddress))));
    result.pollFlags = m.pollFlags;
    result.mode = m.mode;
}

void CPollTaskAgentById::done(CTaskThread*)
{
    {
        QMutexLocker locker(&m_resultMutex);
        if (m_reported)
            return;
        m_reported = true;
        if (m_result->state != SPollResult::Polled) {
            m_result->pollReturn = 1;
            m_result->failReason = m_result->state == SPollResult::MonitorNotFound
                                       ? QByteArray("monitor was not found")
                                       : QByteArray("unknown error");
        }
    }
    ResultSink sink;
    {
        QMutexLocker locker(&g_sinkMutex);
        sink = g_sink;
    }
    if (sink)
        sink(m_transactionId);
    else
        taskManager()->output().sendPollResult(m_transactionId);
}

int CPollTaskAgentById::pollTaskStillAlive(void* context)
{
    if (!context)
        return -1;
    // The heartbeat renews the start time the watchdog measures from. The worker resets the
    // state when the task starts, so a stop that came earlier is read from the task's own flag.
    auto* task = static_cast<CPollTaskAgentById*>(context);
    return task->markStarted() == 0 && !task->isStopRequested() ? 0 : -1;
}

void CPollTaskAgentById::pollTaskAddNewMonitor(void* context, const stZamNewMonitorRequest* request)
{
    if (!context) {
        qWarning("cannot find poll task for adding new monitor");
        return;
    }
    if (!request) {
        qWarning("cannot add null new monitor");
        return;
    }
    const CNewMonitorInfo info = buildNewMonitorInfo(*request);
    static_cast<CPollTaskAgentById*>(context)->writeResult([&info](SPollResult& r) { r.newMonitors.append(info); });
}
