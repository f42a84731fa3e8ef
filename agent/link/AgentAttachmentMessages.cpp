#include "AgentAttachmentMessages.h"

#include "AttachmentListRecords.h"

template <int TypeCode, class Record>
CAttachmentsRequestMessage<TypeCode, Record>::CAttachmentsRequestMessage(qint32 templateId_,
                                                                         const QString& appFilesPath_,
                                                                         const QList<Record>& list, int id)
    : CAgentMessage(Type, id), templateId(templateId_), appFilesPath(appFilesPath_),
      attachments(writeAttachmentList(list)), attachmentList(list), listOk(true)
{
}

template <int TypeCode, class Record>
void CAttachmentsRequestMessage<TypeCode, Record>::readRawData(bool)
{
    listOk = readAttachmentList(attachments, attachmentList);
}

template class CAttachmentsRequestMessage<30, STemplateAttachment>;
template class CAttachmentsRequestMessage<32, STemplateAttachmentData>;
template class CAttachmentsRequestMessage<34, STemplateAttachment>;

CCheckAttachmentsResp::CCheckAttachmentsResp(const QList<STemplateAttachment>& list, int id)
    : CAgentMessage(Type, id), missingAttachments(writeAttachmentList(list)), attachmentList(list), listOk(true)
{
}

void CCheckAttachmentsResp::bindFields()
{
    bindBytes("missing_attachments", &missingAttachments);
}

void CCheckAttachmentsResp::readRawData(bool)
{
    listOk = readAttachmentList(missingAttachments, attachmentList);
}

CCreateAttachmentsResp::CCreateAttachmentsResp(const QList<STemplateAttachment>& list, int id)
    : CAgentMessage(Type, id), failedAttachments(writeAttachmentList(list)), attachmentList(list), listOk(true)
{
}

void CCreateAttachmentsResp::bindFields()
{
    bindBytes("failed_attachments", &failedAttachments);
}

void CCreateAttachmentsResp::readRawData(bool)
{
    listOk = readAttachmentList(failedAttachments, attachmentList);
}
