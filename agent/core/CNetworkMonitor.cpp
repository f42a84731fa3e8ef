#include "CNetworkMonitor.h"
#include "CNetMonSysHeavy.h"

#include "common/TestTimeScale.h"
#include "engine/CConfigManagerAgent.h"
#include "engine/CScheduleManagerAgent.h"
#include "engine/CTaskManager.h"
#include "engine/IEngineOutput.h"
#include "link/CAgentAgentManager.h"
#include "link/CControlServer.h"
#include "link/CDaemonLinkEngine.h"
#include "link/CSuperAgentManager.h"
#include "receivers/CSnmpTrapManager.h"
#include "receivers/SyslogLineManager.h"

#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QWaitCondition>

#include <atomic>
#include <stdexcept>

namespace {

const char* const kRootName = "network monitor";
// Shutdown: all components must reach their stopped state within this time...
constexpr int kShutdownWaitMs = 27000;
// ...plus this much after the first time-out.
constexpr int kShutdownExtraWaitMs = 1000;
constexpr int kCanStopDelayMs = 100;

std::atomic<CNetworkMonitor*> g_root{nullptr};

int remainingMs(const QDeadlineTimer& deadline)
{
    const qint64 left = deadline.remainingTime();
    return left < 0 ? 0 : static_cast<int>(left);
}

template <class T>
T* requireComponent(QObject* component, const char* text)
{
    T* typed = qobject_cast<T*>(component);
    if (!typed)
        throw std::runtime_error(text);
    return typed;
}

}

CNetworkMonitor::Components CNetworkMonitor::createDefaultComponents(CNetworkMonitor* root)
{
    Components c;
    c.controlServer = new CControlServer(root, QStringLiteral("control server"), ControlBit);
    auto* trap = new CSnmpTrapManager(root, QStringLiteral("snmp trap manager"), TrapBit);
    c.snmpTrapManager = trap;
    auto* syslog = new SyslogLineManager(root, QStringLiteral("syslog lines manager"), SyslogBit);
    UdpReceiverHooks receiverHooks;
    // Events leave through the schedule manager's relay, as the poll road's do.
    receiverHooks.sendMonitorEvent = [](int monitorId, const CMonitorEventPtr& event) {
        try {
            scheduleManager()->sendMonitorEvent(monitorId, event);
        } catch (const std::exception&) {
        }
    };
    trap->setHooks(receiverHooks);
    syslog->setHooks(receiverHooks);
    c.syslogLinesManager = syslog;
    c.configManager = new CConfigManagerAgent(root, QStringLiteral("config manager"), ConfigBit);
    c.scheduleManager = new CScheduleManagerAgent(root, QStringLiteral("schedule manager"), ScheduleBit);
    c.taskManager = new CTaskManager(root, QStringLiteral("task manager"), TaskBit);
    auto* agent = new CAgentAgentManager(root, QStringLiteral("agent manager"), AgentBit);
    agent->setEngine(std::make_shared<CDaemonLinkEngine>());
    c.agentManager = agent;
    return c;
}

CNetworkMonitor::CNetworkMonitor(QObject* parent, const ComponentFactory& factory)
    : QObject(parent)
{
    m_components = factory ? factory(this) : createDefaultComponents(this);
    wireEngineOutput();
    m_superAgentManager =
        new CSuperAgentManager(this, QStringLiteral("super agent manager"), AgentBit, m_components.agentManager);
}

void CNetworkMonitor::wireEngineOutput()
{
    // The engine reports through its own interface; the agent manager implements it.
    auto* output = dynamic_cast<IEngineOutput*>(m_components.agentManager);
    if (auto* tasks = qobject_cast<CTaskManager*>(m_components.taskManager))
        tasks->setOutput(output);
    if (auto* schedule = qobject_cast<CScheduleManagerBase*>(m_components.scheduleManager))
        schedule->setOutput(output);
}

CNetworkMonitor::~CNetworkMonitor()
{
    CNetworkMonitor* self = this;
    g_root.compare_exchange_strong(self, nullptr);
}

QList<CNetMonSysHeavy*> CNetworkMonitor::startOrder() const
{
    return {m_components.configManager, m_components.controlServer, m_components.snmpTrapManager,
            m_components.syslogLinesManager, m_components.scheduleManager, m_components.taskManager,
            m_superAgentManager};
}

QList<CNetMonSysHeavy*> CNetworkMonitor::stopOrder() const
{
    return {m_superAgentManager, m_components.taskManager, m_components.scheduleManager,
            m_components.controlServer, m_components.snmpTrapManager, m_components.syslogLinesManager,
            m_components.configManager};
}

void CNetworkMonitor::startSubsystems()
{
    const Components& c = m_components;
    if (!c.configManager || !c.controlServer || !c.scheduleManager || !c.taskManager || !c.agentManager
        || !c.snmpTrapManager || !c.syslogLinesManager)
        qFatal("%s: cannot create subsystems", kRootName);
    for (CNetMonSysHeavy* component : startOrder()) {
        emit componentStarting(component->name());
        component->start(QThread::InheritPriority);
    }
}

void CNetworkMonitor::openStartGates()
{
    const Components& c = m_components;
    for (CNetMonSysHeavy* component : {c.configManager, c.taskManager, c.scheduleManager, c.controlServer,
                                       c.snmpTrapManager, c.syslogLinesManager, m_superAgentManager})
        if (component) {
            component->releaseStartGate();
            emit startGateOpened(component->name());
        }
}

void CNetworkMonitor::setInitialized(int bit)
{
    CNetworkMonitor* root = g_root.load();
    if (!root)
        return;
    QMutexLocker locker(&root->m_mutex);
    const bool wasComplete = root->m_readyMask == kCompleteMask;
    root->m_readyMask |= bit;
    if (!wasComplete && root->m_readyMask == kCompleteMask) {
        root->openStartGates();
        // One for a waiting createNetworkMonitor, one for the shutdown.
        root->m_ready.release(2);
    }
}

void CNetworkMonitor::setStopped(int bit)
{
    CNetworkMonitor* root = g_root.load();
    if (!root)
        return;
    QMutexLocker locker(&root->m_mutex);
    const bool wasComplete = root->m_stoppedMask == kCompleteMask;
    root->m_stoppedMask |= bit;
    if (!wasComplete && root->m_stoppedMask == kCompleteMask)
        root->m_shutdown.release();
}

bool CNetworkMonitor::isInitialized(int bits)
{
    CNetworkMonitor* root = g_root.load();
    if (!root)
        return false;
    QMutexLocker locker(&root->m_mutex);
    return (root->m_readyMask & bits) != 0;
}

bool CNetworkMonitor::isStopped(int bits)
{
    CNetworkMonitor* root = g_root.load();
    if (!root)
        return false;
    QMutexLocker locker(&root->m_mutex);
    return (root->m_stoppedMask & bits) != 0;
}

bool CNetworkMonitor::canStop(int bit)
{
    {
        static QMutex delayMutex;
        static QWaitCondition delay;
        QMutexLocker locker(&delayMutex);
        delay.wait(&delayMutex, kCanStopDelayMs);
    }
    CNetworkMonitor* root = g_root.load();
    if (!root)
        return true;
    QMutexLocker locker(&root->m_mutex);
    if (bit == ControlBit)
        return (root->m_stoppedMask & ConfigBit) != 0;
    if (bit == ScheduleBit)
        return (root->m_stoppedMask & (TrapBit | SyslogBit)) == (TrapBit | SyslogBit);
    return true;
}

bool CNetworkMonitor::hasFailed()
{
    CNetworkMonitor* root = g_root.load();
    if (!root) {
        qCritical("%s: bad instance", kRootName);
        return true;
    }
    if (root->reportMissingComponent())
        return true;
    QMutexLocker locker(&root->m_mutex);
    return root->m_failed;
}

void CNetworkMonitor::reportInitFailure(const QString& componentName)
{
    if (hasFailed())
        return;
    CNetworkMonitor* root = g_root.load();
    {
        QMutexLocker locker(&root->m_mutex);
        if (root->m_initFailureReported)
            return;
        root->m_initFailureReported = true;
    }
    reportFatalError(QStringLiteral("%1: cannot initialize").arg(componentName));
}

bool CNetworkMonitor::reportMissingComponent() const
{
    const Components& c = m_components;
    const struct {
        const void* component;
        const char* text;
    } checks[] = {
        {c.configManager, "%s: config manager is bad"},
        {c.controlServer, "%s: control server is bad"},
        {c.snmpTrapManager, "%s: snmp trap manager is bad"},
        {c.syslogLinesManager, "%s: syslog line manager is bad"},
        {c.taskManager, "%s: task manager is bad"},
        {c.scheduleManager, "%s: schedule manager is bad"},
        {c.agentManager, "%s: agent manager is bad"},
    };
    for (const auto& check : checks) {
        if (!check.component) {
            qCritical(check.text, kRootName);
            return true;
        }
    }
    return false;
}

bool CNetworkMonitor::isShutdownFailed()
{
    CNetworkMonitor* root = g_root.load();
    if (!root)
        return false;
    QMutexLocker locker(&root->m_mutex);
    return root->m_shutdownFailed;
}

void CNetworkMonitor::markFailed()
{
    QMutexLocker locker(&m_mutex);
    m_failed = true;
}

bool CNetworkMonitor::shutdownSubsystems()
{
    const QList<CNetMonSysHeavy*> order = stopOrder();
    for (CNetMonSysHeavy* component : order)
        if (component)
            component->setStopFlag();

    // Every wait of the shutdown is bounded, the wait for the start to finish included: a
    // component stuck in its init must not hang the stop for ever.
    const QDeadlineTimer deadline(zam::scaledMs(kShutdownWaitMs));
    if (!m_ready.tryAcquire(1, remainingMs(deadline))) {
        qWarning("%s: components did not finish initialization before shutdown", kRootName);
        // Let those that wait at their start gate go on to their stop.
        openStartGates();
    }

    for (CNetMonSysHeavy* component : order)
        if (component)
            component->stop();

    if (m_shutdown.tryAcquire(1, remainingMs(deadline)))
        m_shutdown.release();
    else
        qWarning("%s: first timeout in shutdown", kRootName);

    if (!m_shutdown.tryAcquire(1, zam::scaledMs(kShutdownExtraWaitMs))) {
        qWarning("service shutdown has failed");
        QMutexLocker locker(&m_mutex);
        m_shutdownFailed = true;
        return false;
    }

    const QList<CNetMonSysHeavy*> joinOrder = startOrder();
    for (CNetMonSysHeavy* component : joinOrder)
        component->releaseEndGate();
    for (CNetMonSysHeavy* component : joinOrder)
        component->wait();
    return true;
}

void createNetworkMonitor(QObject* parent, bool wait, const CNetworkMonitor::ComponentFactory& factory)
{
    if (g_root.load())
        return;
    CNetworkMonitor* root = new CNetworkMonitor(parent, factory);
    g_root.store(root);
    root->startSubsystems();
    if (wait)
        root->m_ready.acquire();
}

void destroyNetworkMonitor()
{
    CNetworkMonitor* root = g_root.load();
    if (!root || CNetworkMonitor::isShutdownFailed())
        return;
    if (!root->shutdownSubsystems())
        return;
    g_root.store(nullptr);
    delete root;
}

void reportFatalError(const QString& text)
{
    qCritical("%s", qPrintable(text));
    CNetworkMonitor* root = g_root.load();
    if (root)
        root->markFailed();
}

CNetworkMonitor* networkMonitor()
{
    CNetworkMonitor* root = g_root.load();
    if (!root)
        throw std::runtime_error("missing network monitor instance");
    return root;
}

CConfigManagerAgent* configManager()
{
    return requireComponent<CConfigManagerAgent>(networkMonitor()->components().configManager,
                                                 "missing config manager instance");
}

CControlServer* controlServer()
{
    return requireComponent<CControlServer>(networkMonitor()->components().controlServer,
                                            "missing control server instance");
}

CSnmpTrapManager* snmpTrapManager()
{
    return requireComponent<CSnmpTrapManager>(networkMonitor()->components().snmpTrapManager,
                                              "missing snmp trap manager instance");
}

SyslogLineManager* syslogLinesManager()
{
    return requireComponent<SyslogLineManager>(networkMonitor()->components().syslogLinesManager,
                                               "missing syslog lines manager instance");
}

CTaskManager* taskManager()
{
    return requireComponent<CTaskManager>(networkMonitor()->components().taskManager,
                                          "missing task manager instance");
}

CScheduleManagerAgent* scheduleManager()
{
    return requireComponent<CScheduleManagerAgent>(networkMonitor()->components().scheduleManager,
                                                   "missing schedule manager instance");
}

CAgentAgentManager* agentManager()
{
    return requireComponent<CAgentAgentManager>(networkMonitor()->components().agentManager,
                                                "missing agent manager instance");
}
