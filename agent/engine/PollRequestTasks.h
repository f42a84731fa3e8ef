#pragma once
#include "CPollTaskAgentWithSettings.h"

#include <QByteArray>

class CConfigManagerAgent;

// The agent link's side of a poll request that carries the monitor's settings ("monitor_data",
// QDataStream version 7): the record is read and refused with a reason when malformed; a record
// with a monitor id is stored under it and polled by id, one without is polled once with its
// settings. Answers the task to post, or null with the reason in failReason.
CTaskPtr createPollTaskFromSettings(int transactionId, const QByteArray& monitorData, const SPollResultPtr& result,
                                    CConfigManagerAgent* store, QString* failReason);
