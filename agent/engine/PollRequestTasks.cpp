#include "stZamMonitor.h"
#include "PollRequestTasks.h"
#include "CConfigManagerAgent.h"

#include <QDataStream>

CTaskPtr createPollTaskFromSettings(int transactionId, const QByteArray& monitorData, const SPollResultPtr& result,
                                    CConfigManagerAgent* store, QString* failReason)
{
    stZamMonitorPtr record(new stZamMonitor);
    QDataStream in(monitorData);
    in.setVersion(7);
    const QString reason = readMonitorRecord(in, *record);
    if (!reason.isEmpty()) {
        if (failReason)
            *failReason = reason;
        return CTaskPtr();
    }
    if (record->optMonitorId.hasValue()) {
        const int id = record->optMonitorId.rawValue();
        store->setMonitorData(id, record);
        return CTaskPtr(new CPollTaskAgentById(transactionId, Optional<int>(id), result));
    }
    return CTaskPtr(new CPollTaskAgentWithSettings(transactionId, record, result));
}
