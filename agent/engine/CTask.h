#pragma once
#include <QDateTime>
#include <QExplicitlySharedDataPointer>
#include <QMutex>
#include <QSharedData>
#include <QString>
#include <optional>

class CTaskThread;

// A unit of work run by a task thread: polls, resolves, scheduled and statistics tasks derive
// from it. The worker calls beforeExec, exec and done in turn on its own thread; the watchdog
// asks a task that runs too long to stop (setState(1), then stop) from the task manager's
// thread.
// Threads: the task mutex guards state and start time (worker, watchdog, still-alive callback);
// lastThread is written by the worker and read by the pool on the task manager's thread.
//
// Writing a task: derive, give it a name, do the work in exec (the thread's library context is
// thread->pluginManager()->getThreadPlugin(thread, pluginId)), report in done, and answer
// isDeadlocked with the task's own limit. A long task calls markStarted now and then so the
// watchdog sees it alive, and gives up when state() turns 1. When the watchdog abandons a hung
// task, disable and done run on the task manager's thread while exec may still be running, so
// done must not depend on exec having returned. Post it with taskManager()->postTask.
class CTask : public QSharedData
{
public:
    explicit CTask(const QString& name);
    virtual ~CTask();
    CTask(const CTask&) = delete;
    CTask& operator=(const CTask&) = delete;

    virtual void beforeExec() {}
    virtual void exec(CTaskThread* thread) { Q_UNUSED(thread); }
    virtual void stop() {}
    virtual void disable() {}
    virtual void done(CTaskThread* thread) { Q_UNUSED(thread); }
    // True when the task has run too long: seconds counted from the watchdog's reference time.
    virtual bool isDeadlocked(int seconds) = 0;
    // The monitor a poll task serves; no value for other tasks.
    virtual std::optional<int> objectKey() const { return std::nullopt; }
    virtual std::optional<int> actionKey() const { return std::nullopt; }

    // Start time := now (the engine's clock); answers 0 while running normally, -1 once the
    // task has been asked to stop.
    int markStarted();
    QDateTime startTime() const;
    void setState(int state);   // keeps the low 8 bits
    int state() const;

    QString name() const { return m_name; }
    CTaskThread* lastThread() const { return m_lastThread; }
    void setLastThread(CTaskThread* thread) { m_lastThread = thread; }

private:
    mutable QMutex m_mutex;
    quint8 m_state = 0;
    const QString m_name;
    CTaskThread* m_lastThread = nullptr;
    QDateTime m_startTime;
};

// Base body of isDeadlocked for subclasses that call it.
inline bool CTask::isDeadlocked(int seconds)
{
    Q_UNUSED(seconds);
    return false;
}

using CTaskPtr = QExplicitlySharedDataPointer<CTask>;
