#include "CAgentManager.h"

#include "CAgentAgentManagerSlots.h"

#include <QDebug>

CAgentManager::CAgentManager(QObject* parent, const QString& name) : QThread(parent)
{
    setObjectName(name);
    m_queue.notifier()->setNotify(true);
}

CAgentManager::~CAgentManager()
{
    wait();
}

void CAgentManager::start()
{
    // Serving before the thread exists, so a stopAndWait right after start waits for it.
    m_queue.setServing(true);
    QThread::start(QThread::InheritPriority);
}

void CAgentManager::stopAndWait()
{
    m_queue.stop(true);
}

void CAgentManager::postLinkEvent(const CAgentLinkEventPtr& event)
{
    if (event)
        m_queue.push(event);
}

void CAgentManager::run()
{
    m_slots = new CAgentAgentManagerSlots(this);
    connect(m_queue.notifier(), &ProtectedQueueObject::newItem, m_slots, &CAgentAgentManagerSlots::onNewItem,
            Qt::QueuedConnection);
    connect(m_queue.notifier(), &ProtectedQueueObject::stopped, m_slots, &CAgentAgentManagerSlots::onStopped,
            Qt::QueuedConnection);
    if (startRun()) {
        for (int n = m_queue.size(); n > 0; --n)
            QMetaObject::invokeMethod(m_slots, "onNewItem", Qt::QueuedConnection);
        // A stop that came before the connections existed was not announced.
        if (m_queue.isStopping())
            QMetaObject::invokeMethod(m_slots, "onStopped", Qt::QueuedConnection);
        exec();
    }
    endRun();
    delete m_slots;
    m_slots = nullptr;
    m_queue.stopAndDiscard();
    m_queue.setServing(false);
}

void CAgentManager::processLinkEvents()
{
    CAgentLinkEventPtr event;
    if (m_queue.take(event, 0) != ProtectedQueue<CAgentLinkEventPtr>::Taken)
        return;
    switch (event->type()) {
    case 0: onAcceptedEvent(event); break;
    case 1: onAuthenticatedEvent(event); break;
    case 3: onServerErrorEvent(event); break;
    case 4: onDisconnectedEvent(event); break;
    case 6: onReconnectEvent(event); break;
    case 2: case 5: case 7: case 8: case 9: case 10: break;   // reserved: nobody posts them
    default:
        qWarning().noquote() << QStringLiteral("unknown link event %1").arg(event->type());
        break;
    }
}

void CAgentManager::onStopped()
{
    exit(0);
}

void CAgentManager::onAgentLinkThreadFinished(QObject*) {}
