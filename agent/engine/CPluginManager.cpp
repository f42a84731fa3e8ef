#include "CPluginManager.h"
#include "NetSnmpLibrary.h"
#include "CTaskManager.h"
#include "CTaskThread.h"
#include "PluginGlobalSettings.h"
#include "core/CNetworkMonitor.h"
#include "core/ProcessOptions.h"
#include "common/SnmpValueFormat.h"

#include <QMutexLocker>
#include <QReadLocker>
#include <QTextCodec>
#include <QWriteLocker>
#include <stdexcept>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace {

constexpr int kRequestRoundMs = 5000;

// Written once by init() before any library is loaded, read without a lock afterwards.
QMap<QString, void*>& serviceTable()
{
    static QMap<QString, void*> table;
    return table;
}

int pluginGetDebugFlag(int key)
{
    return logCategories().value(key, 0);
}

void pluginAsyncResolve(int addressFlag, const char* text, const char* previousAnswer)
{
    try {
        taskManager()->requestAsyncResolve(CTaskManager::kNoWaitingRequest, addressFlag != 0,
                                           QString::fromUtf8(text ? text : ""),
                                           QString::fromUtf8(previousAnswer ? previousAnswer : ""));
    } catch (...) {
        // No task manager (shutting down): the lookup is simply not made.
    }
}

int pluginConvertSnmpVarToString(const netsnmp_variable_list* variable, const char* hint, QString& out)
{
    try {
        CPluginManager* manager = taskManager()->pluginManager();
        return manager ? manager->convertSnmpVarToString(variable, hint, out) : 0;
    } catch (...) {
        return 0;
    }
}

pthread_mutex_t* pluginSnmpSharedMutex()
{
    return CPluginManager::snmpSharedMutex();
}

}  // namespace

pthread_mutex_t* CPluginManager::snmpSharedMutex()
{
    static pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    return &mutex;
}

CPluginManager::CPluginManager(QObject* parent)
    : CNetMonSysLight(parent, QStringLiteral("plugin manager"))
{
    start(QThread::InheritPriority);
}

CPluginManager::~CPluginManager()
{
    if (isRunning()) {
        stop();
        wait();
    }
}

void CPluginManager::setPluginFileResolver(const std::function<QString(int)>& resolver)
{
    QMutexLocker locker(&m_commonMutex);
    m_fileResolver = resolver;
}

QString CPluginManager::fileFor(int pluginId) const
{
    return m_fileResolver ? m_fileResolver(pluginId) : CPluginLibrary::defaultFileName();
}

void CPluginManager::buildPluginServiceTable()
{
    QMap<QString, void*> table;
    table.insert(QStringLiteral("int_getDebugFlag_int"), reinterpret_cast<void*>(&pluginGetDebugFlag));
    table.insert(QStringLiteral("void_asyncResolve_int_constchar*_constchar*"),
                 reinterpret_cast<void*>(&pluginAsyncResolve));
    table.insert(QStringLiteral("int_convertSnmpVarToString_constnetsnmpvariablelist*_constchar*_QString&"),
                 reinterpret_cast<void*>(&pluginConvertSnmpVarToString));
    table.insert(QStringLiteral(ZAM_SERVICE_SNMP_SHARED_MUTEX), reinterpret_cast<void*>(&pluginSnmpSharedMutex));
    table.insert(QStringLiteral("PluginGlobalSettings_getInterface"),
                 reinterpret_cast<void*>(&getPluginGlobalSettingsInterface));
    serviceTable() = table;
}

void* CPluginManager::pluginServiceLookup(const char* name)
{
    const QString key = QString::fromLatin1(name ? name : "");
    return serviceTable().value(key, nullptr);
}

bool CPluginManager::init()
{
    m_localeCodec = QTextCodec::codecForLocale();
    if (!m_localeCodec)
        qWarning("cannot get text codec for system locale");
    buildPluginServiceTable();
    m_queue.setServing(true);
    return true;
}

bool CPluginManager::runStep()
{
    // A request taken from the queue is served even while stopping: its requester waits.
    for (;;) {
        BasicTaskPtr<CPluginManager> task;
        if (m_queue.take(task) != ProtectedQueue<BasicTaskPtr<CPluginManager>>::Taken)
            return false;
        try {
            task->exec();
        } catch (...) {
        }
    }
}

void CPluginManager::shutdown()
{
    if (!m_keepLoaded)
        releaseAllPlugins();
    m_queue.setServing(false);
}

void CPluginManager::onStop()
{
    m_queue.stopAndDiscard();
}

void CPluginManager::postInitSnmp()
{
    PMTask<InitSnmpTask_>::post(m_queue, this, InitSnmpTask_());
}

bool CPluginManager::isSnmpInitialized() const
{
    QReadLocker locker(&m_snmpLock);
    return m_snmpInitialized;
}

CPluginLibraryPtr CPluginManager::getCommonPlugin(int pluginId, int threadNumber)
{
    {
        QMutexLocker locker(&m_commonMutex);
        const auto it = m_common.constFind(pluginId);
        if (it != m_common.constEnd())
            return it.value();
    }
    // Served only on this component's thread; asking from it could never be answered.
    if (QThread::currentThread() != this) {
        CommonPluginRequestPtr request(new CommonPluginRequest(pluginId, threadNumber));
        // A queue that no longer accepts drops the request: nothing to wait for then.
        const bool posted = PMTask<CommonPluginRequestPtr>::post(m_queue, this, request);
        for (; posted;) {
            const bool heldElsewhere = request->ref.loadRelaxed() > 1;
            if (request->done.tryAcquire(1, kRequestRoundMs))
                break;
            if (!heldElsewhere)
                break;
        }
    }
    QMutexLocker locker(&m_commonMutex);
    const auto it = m_common.constFind(pluginId);
    if (it != m_common.constEnd())
        return it.value();
    throw std::runtime_error(
        QStringLiteral("%1: cannot get common plugin %2").arg(name()).arg(pluginId).toStdString());
}

void CPluginManager::loadCommonPlugin(const CommonPluginRequestPtr& request)
{
    {
        QMutexLocker locker(&m_commonMutex);
        const int id = request->pluginId;
        if (!m_common.contains(id)) {
            const QString fileName = fileFor(id);
            const QString path = CPluginLibrary::resolvePath(fileName);
            // One loaded copy per file: another id that uses the same file shares it.
            CPluginLibraryPtr shared;
            for (const CPluginLibraryPtr& lib : qAsConst(m_common)) {
                if (lib->path() == path) {
                    shared = lib;
                    break;
                }
            }
            QString error;
            if (shared) {
                m_common.insert(id, shared);
            } else {
                try {
                    m_common.insert(id, CPluginLibraryPtr(new CPluginLibrary(id, fileName)));
                } catch (const std::exception& e) {
                    error = QString::fromLocal8Bit(e.what());
                } catch (...) {
                    error = QStringLiteral("unknown exception");
                }
            }
            if (error.isEmpty()) {
                m_lastLoadError.remove(id);
            } else if (m_lastLoadError.value(id) != error) {
                // The reason is said once; the requester only learns that the id is missing.
                m_lastLoadError.insert(id, error);
                qWarning("%s: cannot load plugin %d from %s: %s", qPrintable(name()), id, qPrintable(path),
                         qPrintable(error));
            }
        }
    }
    request->done.release(1);
}

CPluginThreadInstancePtr CPluginManager::getThreadPlugin(CTaskThread* thread, int pluginId)
{
    return getThreadPlugin(static_cast<const void*>(thread), thread ? thread->number() : 0, pluginId);
}

CPluginThreadInstancePtr CPluginManager::getThreadPlugin(const void* key, int threadNumber, int pluginId)
{
    QMutexLocker locker(&m_threadMutex);
    QMap<int, CPluginThreadInstancePtr>& instances = m_threadInstances[key];
    const auto it = instances.constFind(pluginId);
    if (it != instances.constEnd())
        return it.value();
    const CPluginLibraryPtr library = getCommonPlugin(pluginId, threadNumber);
    // Ids that share one loaded copy share the thread's context on it as well.
    for (const CPluginThreadInstancePtr& instance : qAsConst(instances)) {
        if (instance->library() == library.data()) {
            instances.insert(pluginId, instance);
            return instance;
        }
    }
    CPluginThreadInstancePtr instance(new CPluginThreadInstance(library));
    instances.insert(pluginId, instance);
    return instance;
}

void CPluginManager::releaseThreadPlugins(CTaskThread* thread)
{
    releaseThreadPlugins(static_cast<const void*>(thread));
}

void CPluginManager::releaseThreadPlugins(const void* key)
{
    QMap<int, CPluginThreadInstancePtr> instances;
    {
        QMutexLocker locker(&m_threadMutex);
        instances = m_threadInstances.take(key);
    }
    while (!instances.isEmpty())
        instances.erase(instances.begin());
}

void CPluginManager::releaseAllPlugins()
{
    QMutexLocker locker(&m_commonMutex);
    while (!m_common.isEmpty())
        m_common.erase(m_common.begin());
}

QList<CPluginLibraryPtr> CPluginManager::listPlugins() const
{
    QList<CPluginLibraryPtr> out;
    QMutexLocker locker(&m_commonMutex);
    for (const CPluginLibraryPtr& lib : m_common) {
        bool seen = false;
        for (const CPluginLibraryPtr& listed : qAsConst(out))
            seen = seen || listed == lib;
        if (!seen)
            out << lib;
    }
    return out;
}

void CPluginManager::initSnmp()
{
    QWriteLocker locker(&m_snmpLock);
    // The trap receiver may have done it already. Lock order: m_snmpLock, then the shared
    // mutex of Net-SNMP's state.
    NetSnmpLibrary::initOnce();
    m_snmpInitialized = true;
}

int CPluginManager::convertSnmpVarToString(const variable_list* variable, const char* hint, QString& out)
{
    if (!variable)
        return 0;
    // Printing only reads the MIB tree and the output options, which initSnmp set once.
    QReadLocker locker(&m_snmpLock);
    return convertNetSnmpVarWithMib(variable, hint, false, out);
}
