#pragma once
#include <QMutex>
#include <QObject>
#include <QSemaphore>
#include <QString>
#include <functional>

class CNetMonSysHeavy;
class CAgentManager;
class CAgentAgentManager;
class CConfigManagerAgent;
class CControlServer;
class CScheduleManagerAgent;
class CSnmpTrapManager;
class CTaskManager;
class SyslogLineManager;

// The process-wide root of the daemon's components. It creates the eight component threads
// in a fixed order, starts seven of them, keeps the ready and stopped masks through which
// they synchronise their start and stop, answers the service loop's health check, records
// fatal errors and shuts everything down in a fixed order with bounded waits.
// Threads: built, started, stopped and deleted on the main thread; the masks and flags are
// read and written by every component thread under m_mutex.
class CNetworkMonitor : public QObject
{
    Q_OBJECT
public:
    // Subsystem bits; together they make a complete mask.
    enum Bit { ConfigBit = 1, ControlBit = 2, TaskBit = 4, ScheduleBit = 8, AgentBit = 16, TrapBit = 32, SyslogBit = 64 };
    static constexpr int kCompleteMask = 127;

    // The components the root creates, each with the root as parent, its name and its bit.
    // A factory may leave any of them null (the root then reports it as bad).
    struct Components
    {
        CNetMonSysHeavy* controlServer = nullptr;
        CNetMonSysHeavy* snmpTrapManager = nullptr;
        CNetMonSysHeavy* syslogLinesManager = nullptr;
        CNetMonSysHeavy* configManager = nullptr;
        CNetMonSysHeavy* scheduleManager = nullptr;
        CNetMonSysHeavy* taskManager = nullptr;
        CAgentManager* agentManager = nullptr;
    };
    using ComponentFactory = std::function<Components(CNetworkMonitor* root)>;
    // The daemon's own components, in the fixed order of creation.
    static Components createDefaultComponents(CNetworkMonitor* root);

    explicit CNetworkMonitor(QObject* parent, const ComponentFactory& factory = ComponentFactory());
    ~CNetworkMonitor() override;

    void startSubsystems();
    // Answers false when the shutdown failed (components did not all stop in time).
    bool shutdownSubsystems();

    // These act on the current root; without one they do nothing (setters), answer false
    // (isInitialized, isStopped, isShutdownFailed), true (canStop, hasFailed).
    static void setInitialized(int bit);
    static void setStopped(int bit);
    static bool isInitialized(int bits);
    static bool isStopped(int bits);
    static bool canStop(int bit);   // waits 100 ms first
    static bool hasFailed();        // logs which component is missing
    static bool isShutdownFailed();
    // "%1: cannot initialize" through reportFatalError, unless the root has failed already;
    // of components failing at the same moment only the first is reported.
    static void reportInitFailure(const QString& componentName);

    // Logs the "is bad" line of the first missing component and answers true, else false.
    bool reportMissingComponent() const;
    void markFailed();
    CNetMonSysHeavy* superAgentManager() const { return m_superAgentManager; }
    const Components& components() const { return m_components; }

signals:
    // For observers (direct connections): a component thread is being started, and a
    // component's start gate has been opened. Emitted on the starting or initialising thread.
    void componentStarting(const QString& name);
    void startGateOpened(const QString& name);

private:
    // Components in the order the root starts them (and releases and joins them).
    QList<CNetMonSysHeavy*> startOrder() const;
    // Components in the order the root stops them.
    QList<CNetMonSysHeavy*> stopOrder() const;
    void openStartGates();
    // Gives the task and schedule managers the agent manager as the engine's output.
    void wireEngineOutput();

    QString m_name;
    Components m_components;
    CNetMonSysHeavy* m_superAgentManager = nullptr;
    mutable QMutex m_mutex;
    int m_readyMask = 0;
    int m_stoppedMask = 0;
    bool m_failed = false;
    bool m_shutdownFailed = false;
    bool m_initFailureReported = false;
    QSemaphore m_ready{0};
    QSemaphore m_shutdown{0};

    friend void createNetworkMonitor(QObject*, bool, const ComponentFactory&);
};

// Creates, stores and starts the root unless one exists; with wait, returns after all seven
// components have initialised.
void createNetworkMonitor(QObject* parent, bool wait,
                          const CNetworkMonitor::ComponentFactory& factory = CNetworkMonitor::ComponentFactory());
// Shuts the components down in order and deletes the root; a failed shutdown keeps the root.
void destroyNetworkMonitor();
// Logs the text as critical; marks the root failed when it and its configuration manager exist.
void reportFatalError(const QString& text);

// Accessors; each throws std::runtime_error "missing ... instance" for a missing component.
CNetworkMonitor* networkMonitor();
CConfigManagerAgent* configManager();
CControlServer* controlServer();
CSnmpTrapManager* snmpTrapManager();
SyslogLineManager* syslogLinesManager();
CTaskManager* taskManager();
CScheduleManagerAgent* scheduleManager();
CAgentAgentManager* agentManager();
