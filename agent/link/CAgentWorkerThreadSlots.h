#pragma once
#include <QObject>

class CAgentWorkerThread;

// The link thread's receiver of queued signals: it lives on the link thread (the thread
// object itself lives on the thread that created it), so every slot runs there.
class CAgentWorkerThreadSlots : public QObject
{
    Q_OBJECT
public:
    explicit CAgentWorkerThreadSlots(CAgentWorkerThread* thread) : m_thread(thread) {}

public slots:
    void onNewItem();
    void onStopped();
    void onPingTimer();

private:
    CAgentWorkerThread* const m_thread;
};
