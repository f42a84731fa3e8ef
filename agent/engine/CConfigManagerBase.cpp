#include "CConfigManagerBase.h"
#include "core/PerformanceStatistics.h"
#include "common/GlobalSettingRegistry.h"
#include "common/Macros.h"
#include "common/PasswordText.h"

#include <QMutexLocker>
#include <stdexcept>

namespace {
constexpr int kMibPathsSetting = 131;
constexpr int kWebServerModeSetting = 52;
constexpr int kWebServerHttpPortSetting = 53;
constexpr int kWebServerHttpsPortSetting = 54;
}

CConfigManagerBase::CConfigManagerBase(QObject* parent, const QString& name, int subsystemBit)
    : CNetMonSysHeavy(parent, name, subsystemBit)
{
}

CConfigManagerBase::~CConfigManagerBase() = default;

template <class F>
bool CConfigManagerBase::readStore(int waitId, int execId, bool execOnMiss, F&& lookup)
{
    quint32 tick = GetTickCount();
    CConfigReadLocker reader(m_gate);
    tick = addTimedStatistic(waitId, tick);
    const bool found = lookup();
    if (found || execOnMiss)
        addTimedStatistic(execId, tick);
    return found;
}

void CConfigManagerBase::registerEventCallback(quint32 mask, EventCallback callback, void* userData)
{
    for (int i = 0; i < kEventSources; ++i) {
        if (mask & (1u << i)) {
            QMutexLocker locker(&m_sources[i].mutex);
            m_sources[i].callbacks.append(qMakePair(callback, userData));
        }
    }
}

void CConfigManagerBase::unregisterEventCallback(quint32 mask, EventCallback callback, void* userData)
{
    for (int i = 0; i < kEventSources; ++i) {
        if (mask & (1u << i)) {
            QMutexLocker locker(&m_sources[i].mutex);
            m_sources[i].callbacks.removeOne(qMakePair(callback, userData));
        }
    }
}

void CConfigManagerBase::noteThreadIncident(QThread*, const QString&, const QDateTime&)
{
}

void CConfigManagerBase::noteThreadDeadlock(QThread*, const QString&, const QDateTime&)
{
}

bool CConfigManagerBase::findGlobalSetting(int settingId, SGlobalSettingEntry* out) const
{
    for (const SGlobalSettingEntry& e : m_globalSettings) {
        if (e.settingId.hasValue() && e.settingId.rawValue() == settingId) {
            *out = e;
            return true;
        }
    }
    return false;
}

bool CConfigManagerBase::getGlobalSettingInt(int settingId, int* out)
{
    return readStore(STAT_GETGSETTING_LOCK_WAIT, STAT_GETGSETTING_EXEC, true, [&] {
        SGlobalSettingEntry e;
        if (!findGlobalSetting(settingId, &e) || e.type.valueOr(0) != 'i' || !e.intValue.hasValue())
            return false;
        *out = e.intValue.rawValue();
        return true;
    });
}

bool CConfigManagerBase::getGlobalSettingInt(const QString& settingName, int* out)
{
    return readStore(STAT_GETGSETTING_LOCK_WAIT, STAT_GETGSETTING_EXEC, true, [&] {
        for (const SGlobalSettingEntry& e : m_globalSettings) {
            if (!e.settingId.hasValue() || e.type.valueOr(0) != 'i' || !e.intValue.hasValue())
                continue;
            QString name;
            try {
                name = globalSettingName(e.settingId.rawValue());
            } catch (const std::exception&) {
                continue;
            }
            if (name == settingName) {
                *out = e.intValue.rawValue();
                return true;
            }
        }
        return false;
    });
}

bool CConfigManagerBase::getGlobalSettingText(int settingId, QString* out, bool expandMacrosToo)
{
    QString text;
    const bool found = readStore(STAT_GETGSETTING_LOCK_WAIT, STAT_GETGSETTING_EXEC, true, [&] {
        SGlobalSettingEntry e;
        if (!findGlobalSetting(settingId, &e) || !e.textValue.hasValue())
            return false;
        const int type = e.type.valueOr(0);
        if (type == 's') {
            text = settingId == kMibPathsSetting ? unpackText(e.textValue.rawValue()) : e.textValue.rawValue();
            return true;
        }
        if (type == 'p')
            return decodePasswordText(e.textValue.rawValue(), &text, e.decodeContext);
        return false;
    });
    if (!found)
        return false;
    if (expandMacrosToo) {
        SMacroContext context;
        pathVariables(context);
        context.environment = QProcessEnvironment::systemEnvironment();
        text = expandMacros(context, text);
    }
    *out = text;
    return true;
}

bool CConfigManagerBase::getGlobalSettingIdByKey(int key, int* settingId)
{
    return readStore(STAT_GETGSETTING_KEY_LOCK_WAIT, STAT_GETGSETTING_KEY_EXEC, false, [&] {
        const auto it = m_globalSettings.constFind(key);
        if (it == m_globalSettings.constEnd() || !it->settingId.hasValue())
            return false;
        *settingId = it->settingId.rawValue();
        return true;
    });
}

bool CConfigManagerBase::getGlobalSettingNameByKey(int key, QString* settingName)
{
    int id = 0;
    if (!getGlobalSettingIdByKey(key, &id))
        return false;
    try {
        *settingName = globalSettingName(id);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

namespace {
bool findIn(const QMap<int, QVariantMap>& table, int id, QVariantMap* out)
{
    const auto it = table.constFind(id);
    if (it == table.constEnd())
        return false;
    if (out)
        *out = *it;
    return true;
}
}

bool CConfigManagerBase::getMonitor(int monitorId, StoreRecord* out)
{
    return readStore(STAT_GETMONITOR_LOCK_WAIT, STAT_GETMONITOR_EXEC, true,
                     [&] { return findIn(m_monitors, monitorId, out); });
}

bool CConfigManagerBase::getMonitorWithHost(int monitorId, StoreRecord* monitor, StoreRecord* app, StoreRecord* host)
{
    return readStore(STAT_GETMONITOR_WTH_LOCK_WAIT, STAT_GETMONITOR_WTH_EXEC, false, [&] {
        StoreRecord m, a;
        if (!findIn(m_monitors, monitorId, &m) || !findIn(m_apps, m.value(QStringLiteral("appId")).toInt(), &a)
            || !findIn(m_hosts, a.value(QStringLiteral("hostId")).toInt(), host))
            return false;
        *monitor = m;
        *app = a;
        return true;
    });
}

bool CConfigManagerBase::getMonitorsForHost(int hostId, QList<StoreRecord>* out)
{
    return readStore(STAT_GETMONITORS_FOR_HOST_LOCK_WAIT, STAT_GETMONITORS_FOR_HOST_EXEC, true, [&] {
        QList<StoreRecord> found;
        for (const StoreRecord& m : m_monitors) {
            if (m.value(QStringLiteral("hostId")).toInt() == hostId && m.value(QStringLiteral("flag1")).toInt() == 0
                && m.value(QStringLiteral("flag2")).toInt() == 0)
                found.append(m);
        }
        *out = found;
        return !found.isEmpty();
    });
}

bool CConfigManagerBase::getAppWithHost(int id, StoreRecord* app, StoreRecord* host)
{
    return readStore(STAT_GETAPP_WH_LOCK_WAIT, STAT_GETAPP_WH_EXEC, false, [&] {
        StoreRecord a;
        if (!findIn(m_apps, id, &a) || !findIn(m_hosts, a.value(QStringLiteral("hostId")).toInt(), host))
            return false;
        *app = a;
        return true;
    });
}

bool CConfigManagerBase::getAction(int actionId, StoreRecord* out)
{
    return readStore(STAT_GETACTION_LOCK_WAIT, STAT_GETACTION_EXEC, false,
                     [&] { return findIn(m_actions, actionId, out); });
}

bool CConfigManagerBase::getNetwork(const Optional<int>& networkId, StoreRecord* out)
{
    return readStore(STAT_GETNETWORK_LOCK_WAIT, STAT_GETNETWORK_EXEC, true, [&] {
        if (networkId.hasValue())
            return findIn(m_networks, networkId.rawValue(), out);
        for (const StoreRecord& n : m_networks) {
            if (n.value(QStringLiteral("kind")).toInt() == 1) {
                *out = n;
                return true;
            }
        }
        return false;
    });
}

bool CConfigManagerBase::getNetworkName(int networkId, QString* out)
{
    return readStore(STAT_GETNETWORK_NAME_LOCK_WAIT, STAT_GETNETWORK_NAME_EXEC, false, [&] {
        StoreRecord n;
        if (!findIn(m_networks, networkId, &n))
            return false;
        *out = n.value(QStringLiteral("name")).toString();
        return true;
    });
}

bool CConfigManagerBase::getLocalNetwork(StoreRecord* out)
{
    return readStore(STAT_GETLOCALNET_LOCK_WAIT, STAT_GETLOCALNET_EXEC, true, [&] {
        for (const StoreRecord& n : m_networks) {
            if (n.value(QStringLiteral("kind")).toInt() == 1) {
                *out = n;
                return true;
            }
        }
        return false;
    });
}

bool CConfigManagerBase::getHost(const QString& hostName, StoreRecord* out)
{
    return readStore(STAT_GETHOST_LOCK_WAIT, STAT_GETHOST_EXEC, false, [&] {
        for (const StoreRecord& h : m_hosts) {
            if (h.value(QStringLiteral("name")).toString() == hostName
                || h.value(QStringLiteral("secondName")).toString() == hostName) {
                *out = h;
                return true;
            }
        }
        return false;
    });
}

bool CConfigManagerBase::getTemplateCategory(int id, StoreRecord* out)
{
    return readStore(STAT_GETTEMPLATECAT_LOCK_WAIT, STAT_GETTEMPLATECAT_EXEC, false,
                     [&] { return findIn(m_templateCategories, id, out); });
}

bool CConfigManagerBase::getTemplate(int id, StoreRecord* out)
{
    return readStore(STAT_GETTEMPLATE_LOCK_WAIT, STAT_GETTEMPLATE_EXEC, true,
                     [&] { return findIn(m_templates, id, out); });
}

PluginInfo CConfigManagerBase::pluginInfo(int pluginId, bool* found)
{
    PluginInfo info;
    *found = readStore(STAT_GETCFG_LOCK_WAIT, STAT_GETCFG_EXEC, false, [&] {
        const auto it = m_plugins.constFind(pluginId);
        if (it == m_plugins.constEnd())
            return false;
        info = *it;
        return true;
    });
    return info;
}

std::optional<QString> CConfigManagerBase::pluginFileName(int pluginId)
{
    bool found = false;
    const PluginInfo info = pluginInfo(pluginId, &found);
    if (!found || !info.fileName.hasValue())
        return std::nullopt;
    return info.fileName.rawValue();
}

int CConfigManagerBase::webServerPort()
{
    int secure = 0;
    if (!getGlobalSettingInt(kWebServerModeSetting, &secure))
        secure = 0;
    int port = 0;
    if (getGlobalSettingInt(secure ? kWebServerHttpsPortSetting : kWebServerHttpPortSetting, &port))
        return port;
    return secure ? 444 : 8084;
}

void CConfigManagerBase::setGlobalSettingEntry(int key, const SGlobalSettingEntry& entry)
{
    m_gate.beginWrite();
    m_globalSettings.insert(key, entry);
    m_gate.endWrite();
}

void CConfigManagerBase::setMonitorConfig(int monitorId, const SMonitorConfig& config)
{
    m_gate.beginWrite();
    m_monitorConfigs.insert(monitorId, config);
    m_gate.endWrite();
}

void CConfigManagerBase::setMonitorTypeConfig(int typeId, const SMonitorTypeConfig& config)
{
    m_gate.beginWrite();
    m_configMap.insert(typeId, config);
    m_gate.endWrite();
}

void CConfigManagerBase::postInit()
{
    m_queue.setServing(true);
}

void CConfigManagerBase::shutdown()
{
    m_queue.setServing(false);
}

void CConfigManagerBase::onStop()
{
    m_queue.stopAndDiscard();
}

void CConfigManagerBase::onTerminate()
{
    shutdown();
    onStop();
}

void CConfigManagerBase::appendPendingEvent(int value, int source, int code)
{
    m_pendingEvents.append(PendingEvent{value, source, code});
}

void CConfigManagerBase::dispatchPendingEvents()
{
    while (!m_pendingEvents.isEmpty()) {
        const PendingEvent e = m_pendingEvents.takeFirst();
        if (e.source < 0 || e.source >= kEventSources)
            throw std::runtime_error("event source is out of range");
        EventSource& source = m_sources[e.source];
        QMutexLocker locker(&source.mutex);
        for (const auto& cb : source.callbacks)
            cb.first(e.source, e.code, e.value, cb.second);
    }
}

void CConfigManagerBase::runTaskAsWriter(const BasicTaskPtr<CConfigManagerBase>& task)
{
    quint32 tick = GetTickCount();
    m_gate.beginWrite();
    tick = addTimedStatistic(STAT_BASE_TASK_LOCK_WAIT, tick);
    try {
        task->exec();
    } catch (...) {
        addNamedStatistic(QString::fromLatin1(task->kindName()), tick);
        m_gate.endWrite();
        throw;
    }
    addNamedStatistic(QString::fromLatin1(task->kindName()), tick);
    m_gate.endWrite();
}

bool CConfigManagerBase::runTaskLoop(bool logExceptions)
{
    for (;;) {
        dispatchPendingEvents();
        BasicTaskPtr<CConfigManagerBase> task;
        if (m_queue.take(task) != ProtectedQueue<BasicTaskPtr<CConfigManagerBase>>::Taken)
            return false;
        try {
            if (isStopping())
                return false;
            runTaskAsWriter(task);
        } catch (abi::__forced_unwind&) {
            throw;   // thread cancellation must unwind
        } catch (const std::exception&) {
            if (logExceptions)
                qWarning("%s", qPrintable(QStringLiteral("%1: unknown exception").arg(name())));
        } catch (...) {
            if (logExceptions)
                qWarning("%s", qPrintable(QStringLiteral("%1: unknown exception").arg(name())));
        }
    }
}

bool CConfigManagerBase::runStep()
{
    return runTaskLoop(false);
}
