#pragma once
#include "CAgentWorkerThread.h"

#include <QExplicitlySharedDataPointer>
#include <QSharedData>

// A session thread that is reference counted: the agent manager's maps and the link events
// hold it; the last holder (always after its thread has finished) deletes it.
class CAgentLink : public CAgentWorkerThread, public QSharedData
{
    Q_OBJECT
public:
    using CAgentWorkerThread::CAgentWorkerThread;
};
