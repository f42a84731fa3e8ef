#pragma once
#include "CPluginThreadInstance.h"
#include "CommonPluginRequest.h"
#include "core/CNetMonSysLight.h"
#include "core/TaskAliases.h"

#include <QList>
#include <QMap>
#include <QMutex>
#include <QReadWriteLock>
#include <QString>
#include <atomic>
#include <functional>
#include <pthread.h>

class CTaskThread;
class QTextCodec;
struct variable_list;

ZAM_TASK_KIND(InitSnmpTask_);
ZAM_TASK_KIND_NAME(CommonPluginRequestPtr, "CommonPluginRequestPtr");

// The plug-in manager ("plugin manager"): owns every loaded checks library and every task
// thread's thread context on it, initialises the SNMP library once and serves the library's
// lookups of host services by name.
// Libraries are loaded only on this component's own thread, through its queue; a plug-in id
// whose file is already loaded for another id shares that copy (one init per file), and a copy
// ends only when no id and no thread instance uses it any more.
// Threads: its own (queue handlers, init, shutdown); task threads call getThreadPlugin and
// releaseThreadPlugins; the task manager and the agent link call getCommonPlugin/listPlugins.
// Locks: m_threadMutex may be held while m_commonMutex is taken, never the reverse;
// getCommonPlugin never runs on this thread. m_snmpLock guards Net-SNMP's initialisation and
// printing options (write) and value conversion (read); snmpSharedMutex() guards Net-SNMP's
// session set-up and SNMPv3 users for the checks library (host service
// ZAM_SERVICE_SNMP_SHARED_MUTEX) and the trap receiver. Lock order: m_snmpLock first.
class CPluginManager : public CNetMonSysLight
{
    Q_OBJECT
public:
    explicit CPluginManager(QObject* parent);
    ~CPluginManager() override;

    void terminateThread() override { terminateNow(); }

    void postInitSnmp();
    bool isSnmpInitialized() const;

    // Blocks until the plug-in manager has tried to load the id; throws std::runtime_error
    // "%1: cannot get common plugin %2" when it could not.
    CPluginLibraryPtr getCommonPlugin(int pluginId, int threadNumber);
    // The calling task thread's instance for the id, made on first need.
    CPluginThreadInstancePtr getThreadPlugin(CTaskThread* thread, int pluginId);
    // Same, for a caller that is not a CTaskThread: key identifies the thread.
    CPluginThreadInstancePtr getThreadPlugin(const void* key, int threadNumber, int pluginId);
    void releaseThreadPlugins(CTaskThread* thread);
    void releaseThreadPlugins(const void* key);
    // Every loaded library once, in plug-in id order.
    QList<CPluginLibraryPtr> listPlugins() const;

    int convertSnmpVarToString(const variable_list* variable, const char* hint, QString& out);
    // The one process-wide lock of Net-SNMP's shared state; never destroyed.
    static pthread_mutex_t* snmpSharedMutex();

    // Shutdown keeps the libraries loaded (a thread may still run inside one).
    void setKeepLibrariesLoaded(bool keep) { m_keepLoaded = keep; }

    // Which file a plug-in id loads (default: the checks library for every id).
    void setPluginFileResolver(const std::function<QString(int pluginId)>& resolver);

    static void* pluginServiceLookup(const char* name);
    static void buildPluginServiceTable();

    // Queue handlers (on this thread).
    void handleTask(const CommonPluginRequestPtr& request) { loadCommonPlugin(request); }
    void handleTask(const InitSnmpTask_&) { initSnmp(); }

protected:
    bool init() override;
    bool runStep() override;
    void shutdown() override;
    void onStop() override;
    void onTerminate() override {}

private:
    void loadCommonPlugin(const CommonPluginRequestPtr& request);
    void initSnmp();
    void releaseAllPlugins();
    QString fileFor(int pluginId) const;

    ProtectedQueue<BasicTaskPtr<CPluginManager>> m_queue{QStringLiteral("PM")};

    mutable QMutex m_commonMutex;
    QMap<int, CPluginLibraryPtr> m_common;
    QMap<int, QString> m_lastLoadError;   // reason logged for the id, so a retry does not repeat it

    QMutex m_threadMutex;   // guards m_threadInstances
    // Per task thread (its key), the library instances it holds, by plug-in id.
    QMap<const void*, QMap<int, CPluginThreadInstancePtr>> m_threadInstances;

    mutable QReadWriteLock m_snmpLock;
    bool m_snmpInitialized = false;
    QTextCodec* m_localeCodec = nullptr;

    std::function<QString(int)> m_fileResolver;
    std::atomic<bool> m_keepLoaded{false};
};

using InitSnmpPMTask = PMTask<InitSnmpTask_>;
