#pragma once
#include "CTaskClock.h"
#include "core/CNetMonSysLight.h"

#include <QDateTime>
#include <QMutex>
#include <QSemaphore>
#include <functional>

// The task manager's ticker ("task manager scheduler"): every 500 ms it samples the load and
// fires two alarms, the task manager's wake time and the schedule manager's rescheduling time.
// A clock that jumps back is reported once per jump and both armed alarms move back with it,
// so an alarm keeps its distance from now.
// Threads: its own loop; the alarm setters and load() are called from other threads; m_mutex
// guards the alarms, the load and the last time seen. Stopping is synchronous: stop() returns
// after the loop has ended and shutdown has run.
class CTaskManagerScheduler : public CNetMonSysLight
{
    Q_OBJECT
public:
    static constexpr int kTickMs = 500;

    // onWake: the task manager's wake time has come; onReschedule: the rescheduling time has
    // come. Both run on the scheduler's thread. Starts the thread at once.
    CTaskManagerScheduler(QObject* parent, std::function<void()> onWake, std::function<void()> onReschedule,
                          CTaskClock* clock = CTaskClock::current());
    ~CTaskManagerScheduler() override;

    void terminateThread() override { terminateNow(); }

    void setNextTaskManagerWake(const QDateTime& when);
    void setNextRescheduling(const QDateTime& when);
    QDateTime nextTaskManagerWake() const;
    QDateTime nextRescheduling() const;
    int load() const;

    // One pass: sample the load, notice a clock jump back, fire the alarms that are due.
    void tick();

protected:
    bool init() override { return true; }
    bool runStep() override;
    void shutdown() override;
    void onStop() override;
    void onTerminate() override {}

private:
    CTaskClock* const m_clock;
    const std::function<void()> m_onWake;
    const std::function<void()> m_onReschedule;
    mutable QMutex m_mutex;
    QDateTime m_wake;
    QDateTime m_rescheduling;
    QDateTime m_lastSeen;
    int m_load = 0;
    QSemaphore m_semaphore{0};
    bool m_stopAsked = false;
};
