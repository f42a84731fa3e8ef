#pragma once

#include "CAgentMessage.h"
#include "common/TemplateAttachment.h"

#include <QList>

// One attachment request of the service (check 30, create 32, delete 34) carried out on the
// calling thread (a task thread, never the session's): the store's operation on the
// message's own list and folder. The message is only read, so it may be shared.
struct STemplateAttachmentsOutcome
{
    int requestType = 0;   // 30, 32 or 34; 0 for any other message
    int requestId = -1;    // the request's id: the answer (type 31) carries it
    int templateId = -1;
    bool answer = false;   // true for check and create: a type 31 with `list` follows
    QList<STemplateAttachment> list;   // missing (check) or failed (create)
};

STemplateAttachmentsOutcome runTemplateAttachmentsRequest(const CAgentMessage& request);
