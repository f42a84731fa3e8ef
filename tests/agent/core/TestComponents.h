#pragma once
#include "core/CNetMonSysHeavy.h"
#include "core/CNetworkMonitor.h"
#include "link/CAgentManager.h"

#include <QMutex>
#include <QMutexLocker>
#include <QSemaphore>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <functional>
#include <stdexcept>

// Events of test components in the order they happened ("init config manager", ...).
class EventLog
{
public:
    static void add(const QString& event)
    {
        QMutexLocker locker(&mutex());
        events() << event;
    }
    static QStringList all()
    {
        QMutexLocker locker(&mutex());
        return events();
    }
    static void clear()
    {
        QMutexLocker locker(&mutex());
        events().clear();
    }
    // Names of the events that start with the prefix, in order, prefix removed.
    static QStringList with(const QString& prefix)
    {
        QStringList out;
        for (const QString& e : all())
            if (e.startsWith(prefix))
                out << e.mid(prefix.size());
        return out;
    }
    static int indexOf(const QString& event) { return all().indexOf(event); }

private:
    static QMutex& mutex()
    {
        static QMutex m;
        return m;
    }
    static QStringList& events()
    {
        static QStringList e;
        return e;
    }
};

// How one test component behaves.
struct TestBehaviour
{
    bool initResult = true;
    bool initThrows = false;
    int initDelayMs = 0;
    int shutdownDelayMs = 0;
    QSemaphore* initBlocker = nullptr;       // init waits for a token
    QSemaphore* shutdownBlocker = nullptr;   // shutdown waits for a token
};

class TestComponent : public CNetMonSysHeavy
{
public:
    TestComponent(QObject* parent, const QString& name, int bit, const TestBehaviour& behaviour)
        : CNetMonSysHeavy(parent, name, bit)
        , m_behaviour(behaviour)
    {
    }

protected:
    bool init() override
    {
        EventLog::add(QStringLiteral("init ") + name());
        if (m_behaviour.initBlocker)
            m_behaviour.initBlocker->acquire();
        if (m_behaviour.initDelayMs)
            QThread::msleep(m_behaviour.initDelayMs);
        if (m_behaviour.initThrows)
            throw std::runtime_error("init broke");
        return m_behaviour.initResult;
    }
    void postInit() override { EventLog::add(QStringLiteral("postInit ") + name()); }
    bool runStep() override
    {
        waitForStop();
        return false;
    }
    void shutdown() override
    {
        if (m_behaviour.shutdownDelayMs)
            QThread::msleep(m_behaviour.shutdownDelayMs);
        if (m_behaviour.shutdownBlocker)
            m_behaviour.shutdownBlocker->acquire();
        EventLog::add(QStringLiteral("shutdown ") + name());
    }
    void onStop() override
    {
        EventLog::add(QStringLiteral("stop ") + name());
        EventLog::add(QStringLiteral("flags at stop ") + QString::number(stopFlagsSet()));
    }
    void onTerminate() override {}

public:
    // Number of components of the current root whose stop flag is set.
    static int stopFlagsSet()
    {
        int n = 0;
        for (QObject* child : networkMonitor()->children())
            if (auto* c = qobject_cast<CNetMonSysLight*>(child))
                n += c->isStopping() ? 1 : 0;
        return n;
    }

private:
    TestBehaviour m_behaviour;
};

class TestAgentManager : public CAgentManager
{
public:
    using CAgentManager::CAgentManager;
    void start() override
    {
        EventLog::add(QStringLiteral("agent start"));
        CAgentManager::start();
    }
    void stopAndWait() override
    {
        CAgentManager::stopAndWait();
        EventLog::add(QStringLiteral("agent stopped"));
    }
};

// The root's components as test components; behaviours by component name, and a slot
// name listed in missing stays null.
inline CNetworkMonitor::ComponentFactory testFactory(std::function<TestBehaviour(const QString&)> behaviour = {},
                                                     const QStringList& missing = {})
{
    return [behaviour, missing](CNetworkMonitor* root) {
        QObject::connect(root, &CNetworkMonitor::componentStarting,
                         [](const QString& name) { EventLog::add(QStringLiteral("starting ") + name); });
        QObject::connect(root, &CNetworkMonitor::startGateOpened,
                         [](const QString& name) { EventLog::add(QStringLiteral("gate ") + name); });
        auto make = [&](const char* name, int bit) -> CNetMonSysHeavy* {
            const QString n = QString::fromLatin1(name);
            if (missing.contains(n))
                return nullptr;
            return new TestComponent(root, n, bit, behaviour ? behaviour(n) : TestBehaviour());
        };
        CNetworkMonitor::Components c;
        c.controlServer = make("control server", CNetworkMonitor::ControlBit);
        c.snmpTrapManager = make("snmp trap manager", CNetworkMonitor::TrapBit);
        c.syslogLinesManager = make("syslog lines manager", CNetworkMonitor::SyslogBit);
        c.configManager = make("config manager", CNetworkMonitor::ConfigBit);
        c.scheduleManager = make("schedule manager", CNetworkMonitor::ScheduleBit);
        c.taskManager = make("task manager", CNetworkMonitor::TaskBit);
        if (!missing.contains(QStringLiteral("agent manager")))
            c.agentManager = new TestAgentManager(root, QStringLiteral("agent manager"));
        return c;
    };
}
