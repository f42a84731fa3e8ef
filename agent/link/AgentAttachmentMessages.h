#pragma once

// Template attachment checks, creations and deletions.

#include "AttachmentRecordTypes.h"
#include "CAgentMessage.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Shape shared by the three requests: template id (-1 when absent), application-files
// folder and the list record.
template <int TypeCode, class Record>
class CAttachmentsRequestMessage : public CAgentMessage
{
public:
    static constexpr int Type = TypeCode;
    CAttachmentsRequestMessage(qint32 templateId_, const QString& appFilesPath_, const QList<Record>& list, int id = -1);
    explicit CAttachmentsRequestMessage(const AgentMessageHeader& h) : CAgentMessage(h) {}

    qint32 templateId = -1;
    QString appFilesPath;
    QByteArray attachments;     // the raw list record
    QList<Record> attachmentList;  // read from it; empty when it is malformed
    bool listOk = false;

protected:
    void bindFields() override
    {
        bindInt("template_id", &templateId);
        bindString("app_files_path", &appFilesPath);
        bindBytes("attachments", &attachments);
    }
    void readRawData(bool flag) override;
};

class CCheckAttachmentsReq : public CAttachmentsRequestMessage<30, STemplateAttachment>
{
public:
    using CAttachmentsRequestMessage::CAttachmentsRequestMessage;
};

class CCreateAttachmentsReq : public CAttachmentsRequestMessage<32, STemplateAttachmentData>
{
public:
    using CAttachmentsRequestMessage::CAttachmentsRequestMessage;
};

class CDeleteAttachmentsNot : public CAttachmentsRequestMessage<34, STemplateAttachment>
{
public:
    using CAttachmentsRequestMessage::CAttachmentsRequestMessage;
};

// The answer to a check or a create request (id = the request's id).
class CCheckAttachmentsResp : public CAgentMessage
{
public:
    static constexpr int Type = 31;
    CCheckAttachmentsResp(const QList<STemplateAttachment>& list, int id);
    explicit CCheckAttachmentsResp(const AgentMessageHeader& h) : CAgentMessage(h) {}

    QByteArray missingAttachments;
    QList<STemplateAttachment> attachmentList;
    bool listOk = false;

protected:
    void bindFields() override;
    void readRawData(bool flag) override;
};

class CCreateAttachmentsResp : public CAgentMessage
{
public:
    static constexpr int Type = 33;
    CCreateAttachmentsResp(const QList<STemplateAttachment>& list, int id);
    explicit CCreateAttachmentsResp(const AgentMessageHeader& h) : CAgentMessage(h) {}

    QByteArray failedAttachments;
    QList<STemplateAttachment> attachmentList;
    bool listOk = false;

protected:
    void bindFields() override;
    void readRawData(bool flag) override;
};
