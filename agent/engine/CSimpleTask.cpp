#include "CSimpleTask.h"
#include "CTaskManager.h"
#include "core/CNetworkMonitor.h"

CSimpleTask::CSimpleTask(const Work& work, const DeadlockTest& deadlockTest)
    : CTask(QStringLiteral("simple task"))
    , m_work(work)
    , m_deadlockTest(deadlockTest)
{
}

void CSimpleTask::exec(CTaskThread*)
{
    m_work();   // std::bad_function_call when empty
}

bool CSimpleTask::isDeadlocked(int seconds)
{
    return m_deadlockTest ? m_deadlockTest(seconds) : false;
}

bool neverDeadlocked(int)
{
    return false;
}

void postSimpleTask(const CSimpleTask::Work& work, const CSimpleTask::DeadlockTest& deadlockTest)
{
    taskManager()->postTask(CTaskPtr(new CSimpleTask(work, deadlockTest)));
}
