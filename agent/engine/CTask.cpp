#include "CTask.h"
#include "CTaskClock.h"

#include <QMutexLocker>

CTask::CTask(const QString& name)
    : m_name(name)
{
}

CTask::~CTask() = default;

int CTask::markStarted()
{
    const QDateTime now = CTaskClock::current()->now();
    QMutexLocker locker(&m_mutex);
    m_startTime = now;
    return -static_cast<int>(m_state);
}

QDateTime CTask::startTime() const
{
    QMutexLocker locker(&m_mutex);
    return m_startTime;
}

void CTask::setState(int state)
{
    QMutexLocker locker(&m_mutex);
    m_state = static_cast<quint8>(state & 0xff);
}

int CTask::state() const
{
    QMutexLocker locker(&m_mutex);
    return m_state;
}
