#include "CAgentManager.h"

#include <QMutexLocker>

CAgentManager::CAgentManager(QObject* parent, const QString& name)
    : QThread(parent)
{
    setObjectName(name);
}

void CAgentManager::start()
{
    {
        // Marked running before the thread exists, so a stopAndWait right after start waits.
        QMutexLocker locker(&m_mutex);
        m_running = true;
    }
    QThread::start(QThread::InheritPriority);
}

void CAgentManager::stopAndWait()
{
    {
        QMutexLocker locker(&m_mutex);
        m_stopRequested = true;
        m_cond.wakeAll();
    }
    m_notifier.notifyStopped();
    QMutexLocker locker(&m_mutex);
    while (m_running) {
        m_cond.wakeAll();
        m_cond.wait(&m_mutex);
    }
}

bool CAgentManager::isRunning() const
{
    QMutexLocker locker(&m_mutex);
    return m_running;
}

void CAgentManager::run()
{
    QMutexLocker locker(&m_mutex);
    m_running = true;
    while (!m_stopRequested)
        m_cond.wait(&m_mutex);
    m_running = false;
    m_cond.wakeAll();
}
