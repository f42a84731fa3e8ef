#include "CDaemonLinkEngine.h"

#include "common/TestTimeScale.h"
#include "core/CNetworkMonitor.h"
#include "engine/CConfigManagerAgent.h"
#include "engine/CPluginLibrary.h"
#include "engine/CPluginManager.h"
#include "engine/CPollTaskAgentWithSettings.h"
#include "engine/CScheduleManagerAgent.h"
#include "engine/CTaskManager.h"
#include "engine/stZamMonitor.h"
#include "receivers/CSnmpTrapFilter.h"
#include "receivers/SyslogLineFilter.h"
#include "receivers/CSnmpTrapManager.h"
#include "receivers/SyslogLineManager.h"

#include <QDataStream>
#include <QDebug>
#include <QMutexLocker>
#include <cmath>
#include <cstring>
#include <exception>

namespace {

const char* const kNoEngineText = "poll engine is not available";

// The poll tasks have one result sink for the process: the engine made last owns it, and
// only the owner takes it away again.
QMutex g_sinkOwnerMutex;
const void* g_sinkOwner = nullptr;

// The task's report: forget it and answer its poll once.
void finishPoll(const std::shared_ptr<CDaemonLinkEngine::SState>& state, int taskId)
{
    CDaemonLinkEngine::SOpenPoll open;
    {
        QMutexLocker locker(&state->mutex);
        auto it = state->open.find(taskId);
        if (it == state->open.end())
            return;
        open = it.value();
        state->open.erase(it);
        if (open.monitorId && state->busy.value(*open.monitorId, 0) == taskId)
            state->busy.remove(*open.monitorId);
    }
    open.poll->complete(CDaemonLinkEngine::toOutcome(*open.result));
}

template <class T>
T readNative(const QByteArray& block, int offset)
{
    T value{};
    if (offset + static_cast<int>(sizeof(T)) <= block.size())
        std::memcpy(&value, block.constData() + offset, sizeof(T));
    return value;
}

} // namespace

CDaemonLinkEngine::CDaemonLinkEngine()
    : m_state(std::make_shared<SState>())
{
    std::weak_ptr<SState> weak = m_state;
    QMutexLocker owner(&g_sinkOwnerMutex);
    g_sinkOwner = m_state.get();
    CPollTaskAgentById::setResultSink([weak](int taskId) {
        if (const auto state = weak.lock())
            finishPoll(state, taskId);
        return false;
    });
}

CDaemonLinkEngine::~CDaemonLinkEngine()
{
    // Tasks still running report into nothing; their sessions are gone with the agent manager
    // that owns this engine.
    {
        QMutexLocker owner(&g_sinkOwnerMutex);
        if (g_sinkOwner == m_state.get()) {
            g_sinkOwner = nullptr;
            CPollTaskAgentById::setResultSink(CPollTaskAgentById::ResultSink());
        }
    }
    QMutexLocker locker(&m_state->mutex);
    m_state->open.clear();
    m_state->busy.clear();
}

SPollOutcome CDaemonLinkEngine::toOutcome(const SPollResult& r)
{
    // The outcome block is the library's value block in memory order: performance value,
    // the type results, result code, measured value and four more words.
    SPollOutcome o;
    o.status = r.state;
    o.result = r.pollReturn;
    o.printTimeoutReason = r.pollFlags;
    o.inDiscovery = r.mode;
    o.perfValue = readNative<qint64>(r.outcome, 0);
    o.middle = r.outcome.mid(8, SPollOutcome::MiddleSize);
    o.middle.append(QByteArray(SPollOutcome::MiddleSize - o.middle.size(), '\0'));
    o.resultCode = readNative<qint32>(r.outcome, 88);
    o.measuredValue = readNative<qint32>(r.outcome, 92);
    for (int i = 0; i < 4; ++i)
        o.words[i] = readNative<qint32>(r.outcome, 96 + 4 * i);
    o.resultSections = r.resultSections;
    o.failReason = r.failReason;
    o.hostName = r.hostName;
    o.hostAddress = r.hostAddress;
    o.newMonitors = r.newMonitors;
    return o;
}

ILinkEngine::PollStart CDaemonLinkEngine::startPoll(const CLinkPollPtr& poll)
{
    const SLinkPollRequest& request = poll->request();
    std::optional<int> monitorId;
    stZamMonitorPtr record;
    if (request.kind == SLinkPollRequest::WithSettings) {
        record = stZamMonitorPtr(new stZamMonitor);
        QDataStream in(request.monitorData);
        in.setVersion(7);
        const QString reason = readMonitorRecord(in, *record);
        if (!reason.isEmpty()) {
            poll->complete(CLinkPoll::refusal(1, reason.toUtf8()));
            return PollAnswered;
        }
        if (record->optMonitorId.hasValue())
            monitorId = record->optMonitorId.rawValue();
    } else {
        monitorId = request.monitorId;
    }

    if (record && monitorId && !storeSettings(*monitorId, record)) {
        poll->complete(CLinkPoll::refusal(1, kNoEngineText));
        return PollAnswered;
    }

    int taskId = 0;
    SPollResultPtr result(new SPollResult);
    {
        QMutexLocker locker(&m_state->mutex);
        if (monitorId && m_state->busy.contains(*monitorId))
            return PollMonitorBusy;
        taskId = ++m_state->lastTaskId;
        if (taskId <= 0)
            taskId = m_state->lastTaskId = 1;
        if (monitorId)
            m_state->busy.insert(*monitorId, taskId);
    }

    CTaskPtr task;
    try {
        if (record && monitorId) {
            // Stored above: the task reads the settings by id, like every later poll by id.
            task = CTaskPtr(new CPollTaskAgentById(taskId, Optional<int>(*monitorId), result));
        } else if (record) {
            task = CTaskPtr(new CPollTaskAgentWithSettings(taskId, record, result));
        } else {
            task = CTaskPtr(new CPollTaskAgentById(taskId, Optional<int>(*monitorId), result));
        }
        {
            QMutexLocker locker(&m_state->mutex);
            m_state->open.insert(taskId, SOpenPoll{poll, task, result, monitorId});
        }
        if (taskManager()->postTask(task))
            return PollStarted;
    } catch (const std::exception& e) {
        qWarning().noquote() << QStringLiteral("poll of transaction %1 not started: %2")
                                    .arg(poll->transactionId())
                                    .arg(QString::fromUtf8(e.what()));
    }
    // Not posted: forget it, unless the task has reported already.
    {
        QMutexLocker locker(&m_state->mutex);
        if (!m_state->open.remove(taskId) && task)
            return PollStarted;
        if (monitorId && m_state->busy.value(*monitorId, 0) == taskId)
            m_state->busy.remove(*monitorId);
    }
    poll->complete(CLinkPoll::refusal(1, kNoEngineText));
    return PollAnswered;
}

bool CDaemonLinkEngine::storeSettings(int monitorId, const stZamMonitorPtr& record)
{
    try {
        configManager()->setMonitorData(monitorId, record);
        return true;
    } catch (const std::exception& e) {
        qWarning().noquote() << QStringLiteral("settings of monitor %1 not stored: %2")
                                    .arg(monitorId)
                                    .arg(QString::fromUtf8(e.what()));
        return false;
    }
}

void CDaemonLinkEngine::storePollSettings(const SLinkPollRequest& request)
{
    stZamMonitorPtr record(new stZamMonitor);
    QDataStream in(request.monitorData);
    in.setVersion(7);
    const QString reason = readMonitorRecord(in, *record);
    if (!reason.isEmpty()) {
        qWarning().noquote() << QStringLiteral("settings of a refused poll not stored: %1").arg(reason);
        return;
    }
    if (record->optMonitorId.hasValue())
        storeSettings(record->optMonitorId.rawValue(), record);
}

void CDaemonLinkEngine::abortPoll(const CLinkPollPtr& poll)
{
    CTaskPtr task;
    {
        QMutexLocker locker(&m_state->mutex);
        for (const SOpenPoll& open : qAsConst(m_state->open)) {
            if (open.poll == poll) {
                task = open.task;
                break;
            }
        }
    }
    if (task)
        task->stop();
}

void CDaemonLinkEngine::deleteMonitor(int monitorId)
{
    try {
        configManager()->removeMonitorData(monitorId);
    } catch (const std::exception& e) {
        qWarning().noquote() << QStringLiteral("monitor %1 not deleted: %2").arg(monitorId).arg(QString::fromUtf8(e.what()));
    }
}

void CDaemonLinkEngine::updatePluginInfo(int requestId, int pluginId, const QString& pluginName)
{
    try {
        configManager()->postUpdatePluginInfo(requestId, pluginId, pluginName);
    } catch (const std::exception& e) {
        qWarning().noquote() << QStringLiteral("plug-in update %1 ignored: %2").arg(pluginId).arg(QString::fromUtf8(e.what()));
    }
}

void CDaemonLinkEngine::setLimits(int threadLimit, int cpuLimit)
{
    try {
        taskManager()->postSetLimits(threadLimit, cpuLimit);
    } catch (const std::exception& e) {
        qWarning().noquote() << QStringLiteral("limits ignored: %1").arg(QString::fromUtf8(e.what()));
    }
}

void CDaemonLinkEngine::setWatchdogLimit(int limit)
{
    try {
        taskManager()->postSetWtmLimit(limit);
    } catch (const std::exception& e) {
        qWarning().noquote() << QStringLiteral("watchdog limit ignored: %1").arg(QString::fromUtf8(e.what()));
    }
}

void CDaemonLinkEngine::resolve(int requestId, int reqId, bool isIp, const QString& from, const QString& prev)
{
    try {
        taskManager()->postSyncResolveTask(requestId, reqId, isIp, from, prev);
    } catch (const std::exception& e) {
        qWarning().noquote() << QStringLiteral("resolve request %1 ignored: %2").arg(reqId).arg(QString::fromUtf8(e.what()));
    }
}

QStringList CDaemonLinkEngine::supportedMonitorTypes()
{
    QStringList names;
    try {
        CPluginManager* plugins = taskManager()->pluginManager();
        if (!plugins)
            return names;
        const QList<CPluginLibraryPtr> libraries = plugins->listPlugins();
        if (libraries.isEmpty() || !libraries.first())
            return names;
        const CPluginLibraryPtr& library = libraries.first();
        int monitorTypes = 0, actionTypes = 0;
        if (library->getCount(&monitorTypes, &actionTypes) != 0)
            return names;
        for (int i = 0; i < monitorTypes; ++i) {
            if (!library->isMonitorTypeSupported(static_cast<unsigned>(i)))
                continue;
            const stZamMonitorType* type = nullptr;
            if (library->getMonType(static_cast<unsigned>(i), &type) != 0 || !type)
                continue;
            if (type->name)
                names.append(QString::fromUtf8(type->name));
            library->freeMonType(type);
        }
    } catch (const std::exception& e) {
        qWarning().noquote() << QStringLiteral("monitor types not listed: %1").arg(QString::fromUtf8(e.what()));
    }
    return names;
}

void CDaemonLinkEngine::subscribeTraps(int monitorId, const QList<CSnmpTrapFilter*>& filters,
                                       const SUdpMessagesLimit& limit, const SSnmpTrapCredential& user)
{
    try {
        CSnmpTrapManager* manager = snmpTrapManager();
        manager->setFilter(monitorId, filters, limit.on, limit.value1, limit.value2);
        manager->updateCredentials(user);
    } catch (const std::exception& e) {
        qDeleteAll(filters);
        qWarning().noquote() << QStringLiteral("trap subscription of monitor %1 ignored: %2")
                                    .arg(monitorId)
                                    .arg(QString::fromUtf8(e.what()));
    }
}

void CDaemonLinkEngine::unsubscribeTraps(int monitorId)
{
    try {
        snmpTrapManager()->removeFilter(monitorId);
    } catch (const std::exception&) {
    }
}

void CDaemonLinkEngine::clearTrapSubscriptions()
{
    try {
        snmpTrapManager()->clearFilters();
    } catch (const std::exception&) {
    }
}

void CDaemonLinkEngine::subscribeSyslog(int monitorId, const QList<SyslogLineFilter*>& filters,
                                        const SUdpMessagesLimit& limit)
{
    try {
        syslogLinesManager()->setFilter(monitorId, filters, limit.on, limit.value1, limit.value2);
    } catch (const std::exception& e) {
        qDeleteAll(filters);
        qWarning().noquote() << QStringLiteral("syslog subscription of monitor %1 ignored: %2")
                                    .arg(monitorId)
                                    .arg(QString::fromUtf8(e.what()));
    }
}

void CDaemonLinkEngine::unsubscribeSyslog(int monitorId)
{
    try {
        syslogLinesManager()->removeFilter(monitorId);
    } catch (const std::exception&) {
    }
}

void CDaemonLinkEngine::clearSyslogSubscriptions()
{
    try {
        syslogLinesManager()->clearFilters();
    } catch (const std::exception&) {
    }
}

bool CDaemonLinkEngine::scheduleReconnect(int agentId, int delayMs)
{
    try {
        // The link's delay is already shortened in test runs and the schedule manager shortens
        // it again, so it gets the plain delay back; whole seconds, rounded up, so a short
        // delay never becomes none.
        const double scale = zam::testTimeScale();
        const qint64 plainMs = delayMs <= 0 ? 0 : std::llround(delayMs / (scale > 0 ? scale : 1.0));
        const int seconds = static_cast<int>(qMin<qint64>((plainMs + 999) / 1000, 24 * 3600));
        scheduleManager()->postScheduleReconnect(agentId, seconds);
        return true;
    } catch (const std::exception& e) {
        qWarning().noquote() << QStringLiteral("reconnect not scheduled: %1").arg(QString::fromUtf8(e.what()));
        return false;
    }
}
