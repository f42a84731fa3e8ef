#pragma once
#include "CConfigReadGate.h"
#include "PluginInfo.h"
#include "SGlobalSettingEntry.h"
#include "SMonitorConfig.h"
#include "SMonitorTypeConfig.h"
#include "core/CNetMonSysHeavy.h"
#include "core/TaskAliases.h"

#include <QList>
#include <QMap>
#include <QMutex>
#include <QVariantMap>
#include <optional>

// The configuration manager's base: the configuration store with its read gate, the task
// queue ("CM") whose tasks change the store, and 32 event sources.
// Threads: tasks run on this component's thread as writers of the gate; the getters run on any
// thread as readers and record their wait and lookup times ("<NAME>_LOCK_WAIT", "<NAME>_EXEC").
// Lock order: the gate before the statistics mutex. Each event source has its own mutex; the
// pending-event list belongs to this thread.
class CConfigManagerBase : public CNetMonSysHeavy
{
    Q_OBJECT
public:
    using EventCallback = void (*)(int source, int code, int value, void* userData);
    // A record of the keyed store tables; the daemon fills none of them.
    using StoreRecord = QVariantMap;
    static constexpr int kEventSources = 32;

    CConfigManagerBase(QObject* parent, const QString& name, int subsystemBit);
    ~CConfigManagerBase() override;

    void beginRead() { m_gate.beginRead(); }
    void endRead() { m_gate.endRead(); }
    CConfigReadGate& readGate() { return m_gate; }

    void registerEventCallback(quint32 mask, EventCallback callback, void* userData);
    void unregisterEventCallback(quint32 mask, EventCallback callback, void* userData);
    void noteThreadIncident(QThread* thread, const QString& text, const QDateTime& when);
    void noteThreadDeadlock(QThread* thread, const QString& text, const QDateTime& when);

    // Store getters; false when nothing is found.
    bool getGlobalSettingInt(int settingId, int* out);
    bool getGlobalSettingInt(const QString& settingName, int* out);
    bool getGlobalSettingText(int settingId, QString* out, bool expandMacrosToo = false);
    bool getGlobalSettingIdByKey(int key, int* settingId);
    bool getGlobalSettingNameByKey(int key, QString* settingName);
    bool getMonitor(int monitorId, StoreRecord* out);
    bool getMonitorWithHost(int monitorId, StoreRecord* monitor, StoreRecord* app, StoreRecord* host);
    bool getMonitorsForHost(int hostId, QList<StoreRecord>* out);
    bool getAppWithHost(int id, StoreRecord* app, StoreRecord* host);
    bool getAction(int actionId, StoreRecord* out);
    bool getNetwork(const Optional<int>& networkId, StoreRecord* out);
    bool getNetworkName(int networkId, QString* out);
    bool getLocalNetwork(StoreRecord* out);
    bool getHost(const QString& hostName, StoreRecord* out);
    bool getTemplateCategory(int id, StoreRecord* out);
    bool getTemplate(int id, StoreRecord* out);
    // The file name kept for a plug-in id (statistic GETCFG); no value when none is known.
    std::optional<QString> pluginFileName(int pluginId);
    PluginInfo pluginInfo(int pluginId, bool* found);

    // Port of the built-in web server: setting 54 or 53 by the mode flag 52, else 444 / 8084.
    int webServerPort();

    // Writes into the store as a writer of the gate, from any thread (fillers and tests).
    void setGlobalSettingEntry(int key, const SGlobalSettingEntry& entry);
    void setMonitorConfig(int monitorId, const SMonitorConfig& config);
    void setMonitorTypeConfig(int typeId, const SMonitorTypeConfig& config);

    // The tables of the setting-value lookup (findSettingValue); read only between beginRead
    // and endRead.
    const QMap<int, SMonitorConfig>& monitorConfigs() const { return m_monitorConfigs; }
    const QMap<int, SMonitorTypeConfig>& configMap() const { return m_configMap; }

protected:
    bool init() override { return true; }
    void postInit() override;
    bool runStep() override;
    void shutdown() override;
    void onStop() override;
    void onTerminate() override;

    // One task as a writer of the gate, its wait under BASE_TASK_LOCK_WAIT and its run time
    // under its kind name. Exceptions leave to the caller.
    void runTaskAsWriter(const BasicTaskPtr<CConfigManagerBase>& task);
    // Runs the callbacks of the pending events; throws "event source is out of range".
    void dispatchPendingEvents();
    void appendPendingEvent(int value, int source, int code);
    // The task loop shared by both classes; logExceptions: "%1: unknown exception".
    bool runTaskLoop(bool logExceptions);

    ProtectedQueue<BasicTaskPtr<CConfigManagerBase>> m_queue{QStringLiteral("CM")};
    QMap<int, PluginInfo> m_plugins;   // written by tasks, read under the gate

private:
    template <class F>
    bool readStore(int waitId, int execId, bool execOnMiss, F&& lookup);
    bool findGlobalSetting(int settingId, SGlobalSettingEntry* out) const;

    struct EventSource
    {
        QMutex mutex;
        QList<QPair<EventCallback, void*>> callbacks;
    };
    struct PendingEvent
    {
        int value;
        int source;
        int code;
    };

    CConfigReadGate m_gate;
    EventSource m_sources[kEventSources];
    QMap<int, SGlobalSettingEntry> m_globalSettings;
    QMap<int, StoreRecord> m_monitors;
    QMap<int, StoreRecord> m_apps;
    QMap<int, StoreRecord> m_hosts;
    QMap<int, StoreRecord> m_actions;
    QMap<int, StoreRecord> m_networks;
    QMap<int, StoreRecord> m_templateCategories;
    QMap<int, StoreRecord> m_templates;
    QMap<int, SMonitorConfig> m_monitorConfigs;
    QMap<int, SMonitorTypeConfig> m_configMap;
    QList<PendingEvent> m_pendingEvents;
};
