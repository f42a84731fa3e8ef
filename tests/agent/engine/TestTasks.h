#pragma once
// Tasks and helpers for driving the task engine from a test that plays the task manager.

#include "engine/CTask.h"
#include "engine/CTaskThread.h"

#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QSemaphore>
#include <QStringList>
#include <QWaitCondition>
#include <atomic>

// Names of tasks in the order they started, across threads.
class StartLog
{
public:
    void add(const QString& name)
    {
        QMutexLocker locker(&m_mutex);
        m_names << name;
    }
    QStringList names() const
    {
        QMutexLocker locker(&m_mutex);
        return m_names;
    }

private:
    mutable QMutex m_mutex;
    QStringList m_names;
};

// Runs until released (or at once when not blocking); counts its steps.
class TestTask : public CTask
{
public:
    TestTask(const QString& name, bool blocking, StartLog* log = nullptr, int deadlockAfter = 300)
        : CTask(name)
        , m_blocking(blocking)
        , m_log(log)
        , m_deadlockAfter(deadlockAfter)
    {
    }
    void exec(CTaskThread* thread) override
    {
        ranOn = thread;
        if (m_log)
            m_log->add(name());
        started.release();
        if (m_blocking)
            release.acquire();
    }
    void stop() override { ++stops; }
    void disable() override { ++disables; }
    void done(CTaskThread*) override { ++dones; }
    bool isDeadlocked(int seconds) override { return seconds > m_deadlockAfter; }
    std::optional<int> objectKey() const override { return monitorId; }

    std::optional<int> monitorId;   // set before dispatch: the task plays a poll of it
    QSemaphore started{0};
    QSemaphore release{0};
    std::atomic<int> stops{0};
    std::atomic<int> disables{0};
    std::atomic<int> dones{0};
    std::atomic<CTaskThread*> ranOn{nullptr};

private:
    const bool m_blocking;
    StartLog* const m_log;
    const int m_deadlockAfter;
};

// Workers' "I am free" reports, handed to the test thread.
class FinishedQueue
{
public:
    CTaskThread::FinishedCallback callback()
    {
        return [this](CTaskThread* t) {
            QMutexLocker locker(&m_mutex);
            m_threads << t;
            m_cond.wakeAll();
        };
    }
    // Waits up to 20 s for a report.
    CTaskThread* take()
    {
        QMutexLocker locker(&m_mutex);
        while (m_threads.isEmpty()) {
            if (!m_cond.wait(&m_mutex, 20000))
                return nullptr;
        }
        return m_threads.takeFirst();
    }

private:
    QMutex m_mutex;
    QWaitCondition m_cond;
    QList<CTaskThread*> m_threads;
};
