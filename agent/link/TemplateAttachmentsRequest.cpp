#include "TemplateAttachmentsRequest.h"

#include "AgentAttachmentMessages.h"
#include "TemplateAttachmentsStore.h"

#include <QDebug>

namespace {

template <class Message>
void warnIfMalformed(const Message& m)
{
    // The decoder leaves an unreadable list empty; the service then hears of no file at all.
    if (!m.listOk)
        qWarning().noquote() << QStringLiteral("attachment list of template %1 is malformed (%2 bytes): ignored")
                                    .arg(m.templateId)
                                    .arg(m.attachments.size());
}

} // namespace

STemplateAttachmentsOutcome runTemplateAttachmentsRequest(const CAgentMessage& request)
{
    STemplateAttachmentsOutcome out;
    out.requestType = request.type();
    out.requestId = request.id();
    switch (request.type()) {
    case CCheckAttachmentsReq::Type: {
        const auto& m = static_cast<const CCheckAttachmentsReq&>(request);
        warnIfMalformed(m);
        out.templateId = m.templateId;
        out.answer = true;
        out.list = checkTemplateAttachments(m.appFilesPath, m.attachmentList);
        break;
    }
    case CCreateAttachmentsReq::Type: {
        const auto& m = static_cast<const CCreateAttachmentsReq&>(request);
        warnIfMalformed(m);
        out.templateId = m.templateId;
        out.answer = true;
        out.list = createTemplateAttachments(m.appFilesPath, m.attachmentList);
        break;
    }
    case CDeleteAttachmentsNot::Type: {
        const auto& m = static_cast<const CDeleteAttachmentsNot&>(request);
        warnIfMalformed(m);
        out.templateId = m.templateId;
        deleteTemplateAttachments(m.appFilesPath, m.attachmentList);
        break;
    }
    default:
        out.requestType = 0;
        break;
    }
    return out;
}
