#pragma once
#include "CConfigManagerBase.h"
#include "stZamMonitor.h"

#include <functional>

ZAM_TASK_KIND(SUpdatePluginInfoTask);

// The configuration manager ("config manager", bit 1): keeps the monitor records the central
// service sent, the plug-in information table and the Python settings of the library.
// Threads: postUpdatePluginInfo, setMonitorData, removeMonitorData and getMonitorData run on
// the caller's thread; the plug-in update runs as a task on this component's thread. The
// monitor-record table has its own mutex, independent of the read gate.
class CConfigManagerAgent : public CConfigManagerBase
{
    Q_OBJECT
public:
    CConfigManagerAgent(QObject* parent, const QString& name, int subsystemBit);
    ~CConfigManagerAgent() override;

    // Queues the plug-in information update; dropped once the queue no longer accepts.
    void postUpdatePluginInfo(int firstValue, int pluginId, const QString& fileName);

    void setMonitorData(int monitorId, const stZamMonitorPtr& record);
    void removeMonitorData(int monitorId);
    // The caller's working copy while it is a copy of the stored record; else (changed) a new
    // copy; the caller's record with notFound when no record is stored under the id.
    stZamMonitorPtr getMonitorData(int monitorId, const stZamMonitorPtr& current, bool* notFound, bool* changed,
                                   bool* third);
    int monitorCount() const;

    // Where the plug-in update asks for its library (default: the root's task manager).
    using CommonPluginPoster = std::function<void(int firstValue, int pluginId)>;
    void setCommonPluginPoster(const CommonPluginPoster& poster) { m_commonPluginPoster = poster; }

    // Task handler (this component's thread, as a writer of the gate).
    void handleTask(SUpdatePluginInfoTask, int firstValue, int pluginId, const QString& fileName);

protected:
    bool init() override;
    void postInit() override;
    bool runStep() override;

private:
    // A record as stored: its stream form (see stZamMonitor::storedFormOf) and its log name.
    struct StoredMonitor
    {
        QByteArray form;
        QString name;
    };

    mutable QMutex m_monitorMutex;
    QMap<int, StoredMonitor> m_monitorRecords;
    CommonPluginPoster m_commonPluginPoster;
};
