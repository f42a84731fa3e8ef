#pragma once

#include "Optional.h"

#include <QByteArray>
#include <QDataStream>
#include <QString>

// Records of the template attachments that travel in the attachment messages of the link.
// Plain values; no shared state.

struct STemplateAttachment
{
    int id = 0;
    Optional<int> number;
    Optional<QString> name;
    Optional<QString> fileName;   // file name inside the attachment's folder
    Optional<int> type;           // 0 application file, 1 MIB, 2 any other kind
    Optional<int> checksum;       // expected computeChecksum() of the content
    Optional<bool> replace;

    bool operator==(const STemplateAttachment& o) const
    {
        return id == o.id && number == o.number && name == o.name && fileName == o.fileName
               && type == o.type && checksum == o.checksum && replace == o.replace;
    }
};

struct STemplateAttachmentData : STemplateAttachment
{
    Optional<QByteArray> content;

    bool operator==(const STemplateAttachmentData& o) const
    {
        return STemplateAttachment::operator==(o) && content == o.content;
    }
};

// The type travels as a QVariant: invalid when not set, else an int. Reading accepts only
// scalar and text variants; any other variant kind marks the stream corrupt, so a hostile
// container count can never make the reader allocate.
QDataStream& operator<<(QDataStream& s, const STemplateAttachment& a);
QDataStream& operator>>(QDataStream& s, STemplateAttachment& a);
QDataStream& operator<<(QDataStream& s, const STemplateAttachmentData& a);
QDataStream& operator>>(QDataStream& s, STemplateAttachmentData& a);

// qChecksum (CRC-16 of ISO 3309) of the bytes, zero-extended, as a held value.
Optional<int> computeChecksum(const QByteArray& bytes);
