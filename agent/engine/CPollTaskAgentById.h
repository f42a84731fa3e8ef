#pragma once
#include "CMonitorRuntimeData.h"
#include "CTask.h"
#include "SPollResult.h"

#include <atomic>
#include <functional>

class CMonitorRuntimeRegistry;

// Polls a monitor whose settings the configuration manager keeps, by its id, on a task
// thread, and reports the result to the agent manager.
// Threads: exec and done on the task thread (done on the task manager's thread when the
// watchdog gives the thread up); the deadlock threshold is guarded by the task mutex; the
// result record is written only by this task until sendPollResult.
class CPollTaskAgentById : public CTask
{
public:
    CPollTaskAgentById(int transactionId, const Optional<int>& monitorId, const SPollResultPtr& result);

    void exec(CTaskThread* thread) override;
    // The service aborted the poll, or the watchdog gave up on it: the still-alive callback
    // answers -1 from now on, and a poll that has not begun yet is not run at all.
    void stop() override;
    bool isStopRequested() const { return m_stopRequested.load(); }
    void done(CTaskThread* thread) override;
    bool isDeadlocked(int seconds) override;
    std::optional<int> objectKey() const override;

    int transactionId() const { return m_transactionId; }
    const Optional<int>& monitorId() const { return m_monitorId; }
    const SPollResultPtr& result() const { return m_result; }
    int deadlockThreshold() const;

    // Where done reports (default: the root's agent manager).
    using ResultSink = std::function<bool(int transactionId)>;
    static void setResultSink(const ResultSink& sink);

    // The plug-in's callbacks; the context is the task.
    static int pollTaskStillAlive(void* context);
    static void pollTaskAddNewMonitor(void* context, const stZamNewMonitorRequest* request);

protected:
    // The poll procedure with the monitor's runtime data on this thread.
    void pollWith(CMonitorRuntimeData& runtime, CMonitorRuntimeRegistry& registry);

    // Writes into the result unless it has been reported already: a poll that returns after the
    // watchdog gave its thread up must not touch a result the link is reading.
    template <class F>
    void writeResult(F&& write)
    {
        QMutexLocker locker(&m_resultMutex);
        if (!m_reported)
            write(*m_result);
    }

private:
    static void fillPollResult(SPollResult& result, const stZamMonitor& record);

    const int m_transactionId;
    const Optional<int> m_monitorId;
    int m_deadlockThreshold = 300;   // guarded by the task mutex (m_thresholdMutex)
    mutable QMutex m_thresholdMutex;
    SPollResultPtr m_result;
    QMutex m_resultMutex;   // guards m_reported and the result's fields until it is reported
    bool m_reported = false;
    std::atomic<bool> m_stopRequested{false};
};
