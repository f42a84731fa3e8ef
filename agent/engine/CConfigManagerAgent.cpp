#include "CConfigManagerAgent.h"
#include "CMonitorCommonData.h"
#include "CPluginLibrary.h"
#include "CTaskManager.h"
#include "PluginGlobalSettings.h"
#include "common/AgentSettings.h"
#include "common/AppPaths.h"
#include "core/CNetworkMonitor.h"

#include <QMutexLocker>
#include <QPointer>

namespace {
// The configuration manager that answers the plug-in binding's file-name lookups.
QMutex g_lookupOwnerMutex;
CConfigManagerAgent* g_lookupOwner = nullptr;
}

CConfigManagerAgent::CConfigManagerAgent(QObject* parent, const QString& name, int subsystemBit)
    : CConfigManagerBase(parent, name, subsystemBit)
{
}

CConfigManagerAgent::~CConfigManagerAgent()
{
    QMutexLocker locker(&g_lookupOwnerMutex);
    if (g_lookupOwner == this) {
        g_lookupOwner = nullptr;
        CPluginLibrary::setPluginNameLookup(CPluginLibrary::PluginNameLookup());
    }
}

bool CConfigManagerAgent::init()
{
    QMutexLocker locker(&g_lookupOwnerMutex);
    g_lookupOwner = this;
    CPluginLibrary::setPluginNameLookup([this](int pluginId) { return pluginFileName(pluginId); });
    return true;
}

void CConfigManagerAgent::postInit()
{
    const bool useBuiltIn = readSettingInt(QStringLiteral("Python/UseBuiltInPython"), 1) != 0;
    const QString custom = readSettingString(QStringLiteral("Python/CustomPythonPath"), QString());
    PluginGlobalSettings::instance()->set(useBuiltIn, custom, installDir() + QStringLiteral("/Python-3/python.exe"));
    CConfigManagerBase::postInit();
}

bool CConfigManagerAgent::runStep()
{
    return runTaskLoop(true);
}

void CConfigManagerAgent::postUpdatePluginInfo(int firstValue, int pluginId, const QString& fileName)
{
    CMTask<TaskData3<int, int, QString, SUpdatePluginInfoTask>>::post(m_queue, this, {firstValue, pluginId, fileName});
}

void CConfigManagerAgent::handleTask(SUpdatePluginInfoTask, int firstValue, int pluginId, const QString& fileName)
{
    PluginInfo& info = m_plugins[pluginId];
    info.pluginId = pluginId;
    info.name = QStringLiteral("plugin %1").arg(pluginId);
    info.fileName = fileName;
    if (m_commonPluginPoster)
        m_commonPluginPoster(firstValue, pluginId);
    else
        taskManager()->postGetCommonPlugin(firstValue, pluginId);
    appendPendingEvent(pluginId, 12, 2);
}

void CConfigManagerAgent::setMonitorData(int monitorId, const stZamMonitorPtr& record)
{
    if (!record)
        return;
    StoredMonitor stored{stZamMonitor::storedFormOf(*record), record->monitorName};
    QMutexLocker locker(&m_monitorMutex);
    std::swap(m_monitorRecords[monitorId], stored);   // the replaced one is freed outside the mutex
    locker.unlock();
}

void CConfigManagerAgent::removeMonitorData(int monitorId)
{
    StoredMonitor removed;
    {
        QMutexLocker locker(&m_monitorMutex);
        removed = m_monitorRecords.take(monitorId);
    }
    // The monitor is gone: its shared plug-in data need not outlive the threads that hold it.
    CMonitorCommonData::forget(monitorId);
}

int CConfigManagerAgent::monitorCount() const
{
    QMutexLocker locker(&m_monitorMutex);
    return m_monitorRecords.size();
}

stZamMonitorPtr CConfigManagerAgent::getMonitorData(int monitorId, const stZamMonitorPtr& current, bool* notFound,
                                                    bool* changed, bool* third)
{
    *notFound = false;
    *changed = false;
    *third = false;
    StoredMonitor stored;
    {
        QMutexLocker locker(&m_monitorMutex);
        const auto it = m_monitorRecords.constFind(monitorId);
        if (it == m_monitorRecords.constEnd()) {
            *notFound = true;
            return current;
        }
        stored = *it;
    }
    if (stZamMonitor::isCopyOfForm(current, stored.form))
        return current;
    // Read outside the table's mutex: a stored form is never written.
    const stZamMonitorPtr copy = stZamMonitor::copyFromStoredForm(stored.form, stored.name);
    if (!copy) {
        *notFound = true;
        return current;
    }
    *changed = true;
    return copy;
}
