#pragma once
#include "BasicTask.h"

// Posted-task aliases, one per owning component (owner, target).
class CTaskManager;
class CPluginManager;
class CConfigManagerBase;
class CConfigManagerAgent;
class CScheduleManagerAgent;
class CAsyncResolver;
class CAgentWorkerThread;
class CAgentAgentLink;

template <class P> using TMTask = BridgeTask<CTaskManager, CTaskManager, P>;
template <class P> using PMTask = BridgeTask<CPluginManager, CPluginManager, P>;
template <class P> using CMTask = BridgeTask<CConfigManagerBase, CConfigManagerAgent, P>;
template <class P> using SMBTask = BridgeTask<CScheduleManagerAgent, CScheduleManagerAgent, P>;
template <class P> using ARTask = BridgeTask<CAsyncResolver, CAsyncResolver, P>;
template <class P> using AWTTask = BridgeTask<CAgentWorkerThread, CAgentWorkerThread, P>;
template <class P> using AALTask = BridgeTask<CAgentWorkerThread, CAgentAgentLink, P>;

// Kind tags of the tasks the agent link receives.
ZAM_TASK_KIND(SSendPollResultTask);
ZAM_TASK_KIND(SSendMonitorEventTask);
ZAM_TASK_KIND(SSendExtendedCapsTask);
ZAM_TASK_KIND(SSendAgentMessageTask);
ZAM_TASK_KIND(StartDisconnectProcessTask);
