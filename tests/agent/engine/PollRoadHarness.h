#pragma once
// An in-process daemon for the poll road: the real configuration and task managers, stub
// components for the rest, and an agent manager that collects the poll results it is told of.
#include "engine/stZamMonitor.h"
#include "engine/CConfigManagerAgent.h"
#include "engine/CPluginLibrary.h"
#include "engine/CPluginManager.h"
#include "engine/CTaskManager.h"
#include "core/CNetworkMonitor.h"
#include "link/CAgentAgentManager.h"
#include "support/StubComponent.h"

#include <QDeadlineTimer>
#include <QMutex>
#include <QSet>
#include <QWaitCondition>

extern "C" struct PollRoadState;

// Collects the transaction ids of sendPollResult; waitFor blocks until one arrived.
class ResultCollectingAgentManager : public CAgentAgentManager
{
public:
    using CAgentAgentManager::CAgentAgentManager;

    bool sendPollResult(int transactionId) override
    {
        QMutexLocker locker(&m_resultMutex);
        m_sent.insert(transactionId);
        m_resultCond.wakeAll();
        return true;
    }
    bool waitFor(int transactionId, int ms = 20000)
    {
        QDeadlineTimer deadline(ms);
        QMutexLocker locker(&m_resultMutex);
        while (!m_sent.contains(transactionId)) {
            if (!m_resultCond.wait(&m_resultMutex, deadline))
                return m_sent.contains(transactionId);
        }
        return true;
    }

private:
    QMutex m_resultMutex;
    QWaitCondition m_resultCond;
    QSet<int> m_sent;
};

namespace pollroad {

constexpr int kRealPlugin = 1;   // the checks library itself
constexpr int kRoadPlugin = 2;   // the stand-in of fakes/poll_road_plugin.cpp

inline CNetworkMonitor::Components components(CNetworkMonitor* root)
{
    CNetworkMonitor::Components c;
    c.controlServer = new StubComponent(root, QStringLiteral("control server"), CNetworkMonitor::ControlBit);
    c.snmpTrapManager = new StubComponent(root, QStringLiteral("snmp trap manager"), CNetworkMonitor::TrapBit);
    c.syslogLinesManager = new StubComponent(root, QStringLiteral("syslog lines manager"), CNetworkMonitor::SyslogBit);
    c.configManager = new CConfigManagerAgent(root, QStringLiteral("config manager"), CNetworkMonitor::ConfigBit);
    c.scheduleManager = new StubComponent(root, QStringLiteral("schedule manager"), CNetworkMonitor::ScheduleBit);
    c.taskManager = new CTaskManager(root, QStringLiteral("task manager"), CNetworkMonitor::TaskBit);
    c.agentManager = new ResultCollectingAgentManager(root, QStringLiteral("agent manager"), CNetworkMonitor::AgentBit);
    return c;
}

// Starts the in-process daemon; plug-in 2 loads the stand-in library.
inline void start(const QString& roadPluginPath)
{
    createNetworkMonitor(nullptr, true, &components);
    taskManager()->pluginManager()->setPluginFileResolver([roadPluginPath](int pluginId) {
        return pluginId == kRoadPlugin ? roadPluginPath : CPluginLibrary::defaultFileName();
    });
}

inline ResultCollectingAgentManager* results()
{
    return static_cast<ResultCollectingAgentManager*>(agentManager());
}

} // namespace pollroad
