#pragma once
#include "engine/CScheduleManagerTask.h"

// The reconnect of one agent's link, due once: when it falls due it asks the agent manager to
// reconnect itself (on the schedule manager's thread) and has itself removed; it never goes to
// the task manager.
class CScheduleManagerAgentReconnectTask : public CScheduleManagerTask
{
public:
    explicit CScheduleManagerAgentReconnectTask(int agentId);

    void beforeExec() override {}
    void exec(CTaskThread*) override {}
    void stop() override {}
    void done(CTaskThread*) override {}

    void handOver(CScheduleManagerBase* manager, const CScheduleManagerTaskPtr& self) override;

    int agentId() const { return m_agentId; }

private:
    const int m_agentId;
};
