#include "TemplateAttachment.h"

#include <QMetaType>
#include <QVariant>

namespace {

// Variant kinds whose payload is a fixed-size scalar or a length-prefixed text that Qt reads
// in bounded chunks.
bool isSafeVariantType(quint32 typeId)
{
    switch (typeId) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::UChar:
    case QMetaType::SChar:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

void writeType(QDataStream& s, const Optional<int>& type)
{
    if (type.hasValue())
        s << QVariant(type.rawValue());
    else
        s << QVariant();
}

void readType(QDataStream& s, Optional<int>& type)
{
    type = Optional<int>::null();
    quint32 typeId = 0;
    s >> typeId;
    qint8 isNull = 0;
    if (s.version() >= QDataStream::Qt_4_2)
        s >> isNull;
    if (s.status() != QDataStream::Ok)
        return;
    if (typeId == QMetaType::UnknownType) {
        if (s.version() < QDataStream::Qt_5_0) {
            // Older forms write an empty text after an invalid variant.
            if (!OptionalDetail::lengthPrefixFits(s)) {
                s.setStatus(QDataStream::ReadPastEnd);
                return;
            }
            QString ignored;
            s >> ignored;
        }
        return;
    }
    if (!isSafeVariantType(typeId)) {
        s.setStatus(QDataStream::ReadCorruptData);
        return;
    }
    if ((typeId == QMetaType::QString || typeId == QMetaType::QByteArray) && !OptionalDetail::lengthPrefixFits(s)) {
        s.setStatus(QDataStream::ReadPastEnd);
        return;
    }
    QVariant v(int(typeId), nullptr);
    if (!QMetaType::load(s, int(typeId), v.data()) || s.status() != QDataStream::Ok) {
        if (s.status() == QDataStream::Ok)
            s.setStatus(QDataStream::ReadCorruptData);
        return;
    }
    if (isNull || v.isNull())
        return;
    const int n = v.toInt();
    type = Optional<int>(n == 0 || n == 1 ? n : 2);
}

} // namespace

QDataStream& operator<<(QDataStream& s, const STemplateAttachment& a)
{
    s << qint32(a.id) << a.number << a.name << a.fileName;
    writeType(s, a.type);
    s << a.checksum << a.replace;
    return s;
}

QDataStream& operator>>(QDataStream& s, STemplateAttachment& a)
{
    qint32 id = 0;
    s >> id >> a.number >> a.name >> a.fileName;
    a.id = id;
    readType(s, a.type);
    s >> a.checksum >> a.replace;
    return s;
}

QDataStream& operator<<(QDataStream& s, const STemplateAttachmentData& a)
{
    s << static_cast<const STemplateAttachment&>(a) << a.content;
    return s;
}

QDataStream& operator>>(QDataStream& s, STemplateAttachmentData& a)
{
    s >> static_cast<STemplateAttachment&>(a) >> a.content;
    return s;
}

Optional<int> computeChecksum(const QByteArray& bytes)
{
    return Optional<int>(int(quint32(qChecksum(bytes.constData(), uint(bytes.size())))));
}
