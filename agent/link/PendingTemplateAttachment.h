#pragma once

// Stand-in for the shared template-attachment records until they are in common/:
// same names, fields and stream forms. Remove this file once common/ provides them
// (AttachmentRecordTypes.h then picks the shared ones).

#include <QByteArray>
#include <QDataStream>
#include <QString>
#include <QVariant>

#include "BoundedVariantReader.h"

template <class T>
class Optional
{
public:
    Optional() = default;
    Optional(const T& v) : m_state(2), m_value(v) {}
    static Optional null()
    {
        Optional o;
        o.m_state = 3;
        return o;
    }
    bool hasValue() const { return m_state == 2; }
    int state() const { return m_state; }
    const T& value() const { return m_value; }
    bool operator==(const Optional& o) const { return m_state == o.m_state && (m_state != 2 || m_value == o.m_value); }

    friend QDataStream& operator<<(QDataStream& out, const Optional& o)
    {
        return out << bool(o.m_state & 2) << bool(o.m_state & 1) << o.m_value;
    }
    friend QDataStream& operator>>(QDataStream& in, Optional& o)
    {
        bool set = false, isNull = false;
        in >> set >> isNull;
        o.m_value = T();
        in >> o.m_value;
        o.m_state = set ? (isNull ? 3 : 2) : (isNull ? 1 : 0);
        return in;
    }

private:
    int m_state = 1;
    T m_value{};
};

struct STemplateAttachment
{
    int id = 0;
    Optional<int> number;
    Optional<QString> name;
    Optional<QString> fileName;
    Optional<int> type;
    Optional<int> checksum;
    Optional<bool> replace;
};

struct STemplateAttachmentData : STemplateAttachment
{
    Optional<QByteArray> content;
};

inline QDataStream& operator<<(QDataStream& out, const STemplateAttachment& a)
{
    out << qint32(a.id) << a.number << a.name << a.fileName;
    out << (a.type.hasValue() ? QVariant(a.type.value()) : QVariant());
    out << a.checksum << a.replace;
    return out;
}

inline QDataStream& operator>>(QDataStream& in, STemplateAttachment& a)
{
    qint32 id = 0;
    QVariant type;
    in >> id >> a.number >> a.name >> a.fileName;
    readBoundedVariant(in, type);  // a hostile container count must not reach Qt's reader
    in >> a.checksum >> a.replace;
    a.id = id;
    if (!type.isValid() || type.isNull()) {
        a.type = Optional<int>::null();
    } else {
        const int t = type.toInt();
        a.type = Optional<int>(t == 0 || t == 1 ? t : 2);
    }
    return in;
}

inline QDataStream& operator<<(QDataStream& out, const STemplateAttachmentData& a)
{
    return out << static_cast<const STemplateAttachment&>(a) << a.content;
}

inline QDataStream& operator>>(QDataStream& in, STemplateAttachmentData& a)
{
    return in >> static_cast<STemplateAttachment&>(a) >> a.content;
}
