#pragma once
#include "core/ProtectedQueueObject.h"

#include <QMutex>
#include <QThread>
#include <QWaitCondition>

// Base of the agent manager: a QThread (not a root component) that the super agent manager
// starts and stops. m_mutex guards the stop-requested and running flags; m_cond wakes both
// the manager's loop and a waiting stopAndWait.
// Placeholder loop: it only waits for the stop request.
class CAgentManager : public QThread
{
    Q_OBJECT
public:
    CAgentManager(QObject* parent, const QString& name);

    virtual void start();        // QThread::start at inherited priority
    virtual void stopAndWait();  // returns when the manager thread has left its loop

    ProtectedQueueObject* queueNotifier() { return &m_notifier; }
    bool isRunning() const;

protected:
    void run() override;

    mutable QMutex m_mutex;
    QWaitCondition m_cond;
    bool m_stopRequested = false;
    bool m_running = false;

private:
    ProtectedQueueObject m_notifier{QStringLiteral("ALE")};
};
