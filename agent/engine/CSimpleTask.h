#pragma once
#include "CTask.h"

#include <functional>

// Runs any function on a task thread. Threads: exec on the task thread; the deadlock test is
// asked from the task manager's thread.
class CSimpleTask : public CTask
{
public:
    using Work = std::function<void()>;
    using DeadlockTest = std::function<bool(int seconds)>;

    CSimpleTask(const Work& work, const DeadlockTest& deadlockTest);

    // Calling an empty work function throws; the task thread logs it.
    void exec(CTaskThread* thread) override;
    bool isDeadlocked(int seconds) override;

private:
    const Work m_work;
    const DeadlockTest m_deadlockTest;
};

// The deadlock test of a task that may run as long as it likes.
bool neverDeadlocked(int seconds);
// Creates a simple task and posts it to the root's task manager.
void postSimpleTask(const CSimpleTask::Work& work, const CSimpleTask::DeadlockTest& deadlockTest = &neverDeadlocked);
