#pragma once
#include <QObject>

class CAgentManager;

// The agent manager thread's receiver of queued signals; lives on the manager thread.
class CAgentAgentManagerSlots : public QObject
{
    Q_OBJECT
public:
    explicit CAgentAgentManagerSlots(CAgentManager* manager) : m_manager(manager) {}

public slots:
    void onNewItem();
    void onStopped();
    void onAgentLinkThreadFinished();

private:
    CAgentManager* const m_manager;
};
