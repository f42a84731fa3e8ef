#pragma once

// Every message class of the agent link.

#include "AgentAttachmentMessages.h"
#include "AgentControlMessages.h"
#include "AgentPollMessages.h"
#include "AgentRelayMessages.h"
#include "AgentSubscriptionMessages.h"
