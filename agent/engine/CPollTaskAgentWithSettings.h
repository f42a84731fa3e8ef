#pragma once
#include "CPollTaskAgentById.h"

// Polls a one-off monitor whose settings came with the request; nothing stays cached after
// the poll. Threads: as CPollTaskAgentById; the record belongs to this task.
class CPollTaskAgentWithSettings : public CPollTaskAgentById
{
public:
    CPollTaskAgentWithSettings(int transactionId, const stZamMonitorPtr& record, const SPollResultPtr& result);

    void exec(CTaskThread* thread) override;

private:
    stZamMonitorPtr m_record;
};
