#pragma once
#include "core/CNetMonSysHeavy.h"

#include <QSemaphore>

class CAgentManager;

// Stands in the root's start and stop protocol for the agent manager, which is a thread of
// another kind: starts it after every component is initialised and stops it in its shutdown.
// The agent manager is not owned (it is the root's child).
class CSuperAgentManager : public CNetMonSysHeavy
{
    Q_OBJECT
public:
    CSuperAgentManager(QObject* parent, const QString& name, int subsystemBit, CAgentManager* agentManager);

protected:
    bool init() override;
    bool runStep() override;
    void shutdown() override;
    void onStop() override;
    void onTerminate() override;
    void postInit() override;

private:
    CAgentManager* m_agentManager;
    QSemaphore m_stopSignal{0};
};
