#include "CAgentMessage.h"

#include "AgentMessageBody.h"

#include <cmath>
#include <cstring>
#include <limits>

CAgentMessage::CAgentMessage(int type, int id)
{
    init(type, id);
}

CAgentMessage::CAgentMessage(const AgentMessageHeader& header)
    : m_header(header)
{
}

CAgentMessage::~CAgentMessage() = default;

bool CAgentMessage::isValid() const
{
    return m_error.isEmpty();
}

QString CAgentMessage::errorString() const
{
    return m_error;
}

void CAgentMessage::init(int type, int id)
{
    m_header = AgentMessageHeader();
    m_header.magic = AgentMessageHeader::Magic;
    m_header.id = id;
    m_header.type = type;
    m_binders.clear();
    m_fieldsBound = false;
    m_error.clear();
}

void CAgentMessage::bindFields() {}

void CAgentMessage::readRawData(bool) {}

void CAgentMessage::bind(const char* key, void* member, AgentFieldKind kind)
{
    m_binders[QByteArray(key)] = AgentFieldBinder{member, kind};
}

void CAgentMessage::bindInt(const char* key, qint32* member) { bind(key, member, FieldInt); }
void CAgentMessage::bindDouble(const char* key, double* member) { bind(key, member, FieldDouble); }
void CAgentMessage::bindBytes(const char* key, QByteArray* member) { bind(key, member, FieldBytes); }
void CAgentMessage::bindString(const char* key, QString* member) { bind(key, member, FieldString); }

void CAgentMessage::ensureBound()
{
    if (!m_fieldsBound) {
        bindFields();
        m_fieldsBound = true;
    }
}

void CAgentMessage::appendChunk(QByteArray& out, bool first, const QByteArray& key, const AgentFieldBinder& b)
{
    if (!first)
        out += ',';
    out += key;
    out += '=';
    switch (b.kind) {
    case FieldInt:
        out += QByteArray::number(*static_cast<const qint32*>(b.member));
        break;
    case FieldDouble:
        out += QByteArray::number(*static_cast<const double*>(b.member), 'g', 12);
        break;
    case FieldBytes: {
        const QByteArray& v = *static_cast<const QByteArray*>(b.member);
        out += "RAW(";
        out += QByteArray::number(v.size());
        out += ',';
        out += v;
        out += ')';
        break;
    }
    case FieldString: {
        const QByteArray v = static_cast<const QString*>(b.member)->toUtf8();
        out += "RAW(";
        out += QByteArray::number(v.size());
        out += ',';
        out += v;
        out += ')';
        break;
    }
    }
}

int CAgentMessage::serialize(char* buffer, int& size)
{
    ensureBound();
    if (!buffer || size < AgentMessageHeader::Size)
        return 1;
    qint64 used = AgentMessageHeader::Size;
    QByteArray chunk;
    bool first = true;
    for (const auto& entry : m_binders) {
        chunk.clear();
        appendChunk(chunk, first, entry.first, entry.second);
        first = false;
        if (used + chunk.size() > size)
            return -1;
        std::memcpy(buffer + used, chunk.constData(), size_t(chunk.size()));
        used += chunk.size();
    }
    m_header.length = qint32(used - AgentMessageHeader::Size);
    if (m_header.write(buffer, size) != AgentMessageHeader::Size)
        return 2;
    size = int(used);
    return 0;
}

qint64 CAgentMessage::bodyLength()
{
    ensureBound();
    qint64 total = 0;
    bool first = true;
    for (const auto& entry : m_binders) {
        total += (first ? 0 : 1) + entry.first.size() + 1;
        first = false;
        const AgentFieldBinder& b = entry.second;
        switch (b.kind) {
        case FieldInt:
            total += QByteArray::number(*static_cast<const qint32*>(b.member)).size();
            break;
        case FieldDouble:
            total += QByteArray::number(*static_cast<const double*>(b.member), 'g', 12).size();
            break;
        case FieldBytes: {
            const int n = static_cast<const QByteArray*>(b.member)->size();
            total += 6 + QByteArray::number(n).size() + n;
            break;
        }
        case FieldString: {
            const int n = static_cast<const QString*>(b.member)->toUtf8().size();
            total += 6 + QByteArray::number(n).size() + n;
            break;
        }
        }
    }
    return total;
}

QByteArray CAgentMessage::toFrame()
{
    const qint64 total = AgentMessageHeader::Size + bodyLength();
    if (total > std::numeric_limits<int>::max())
        return QByteArray();
    QByteArray frame(int(total), Qt::Uninitialized);
    int size = frame.size();
    if (serialize(frame.data(), size) != 0)
        return QByteArray();
    frame.truncate(size);
    return frame;
}

void CAgentMessage::parseBody(const char* body, int length, bool flag)
{
    ensureBound();
    AgentBodyParts parts;
    if (length < 0 || !splitAgentMessageBody(body, length, parts)) {
        m_error = QStringLiteral("can't parse body ") + quoteBodyForLog(body, length);
    } else {
        for (auto& entry : m_binders) {
            const AgentFieldBinder& b = entry.second;
            if (b.kind == FieldBytes || b.kind == FieldString) {
                auto it = parts.raws.find(entry.first);
                if (it == parts.raws.end())
                    continue;
                const char* bytes = body + it->second.position;
                const int count = it->second.count;
                if (b.kind == FieldBytes) {
                    *static_cast<QByteArray*>(b.member) = QByteArray(bytes, count);
                } else {
                    const void* zero = std::memchr(bytes, 0, size_t(count));
                    const int n = zero ? int(static_cast<const char*>(zero) - bytes) : count;
                    *static_cast<QString*>(b.member) = QString::fromUtf8(bytes, n);
                }
                parts.raws.erase(it);
            } else {
                auto it = parts.numbers.find(entry.first);
                if (it == parts.numbers.end())
                    continue;
                const double v = it->second;
                if (b.kind == FieldDouble) {
                    *static_cast<double*>(b.member) = v;
                } else {
                    const double t = std::trunc(v);
                    if (t < -2147483648.0 || t > 2147483647.0) {
                        m_error = QStringLiteral("can't parse body number out of range for key %1: %2")
                                      .arg(QString::fromLatin1(entry.first), quoteBodyForLog(body, length));
                        break;
                    }
                    *static_cast<qint32*>(b.member) = qint32(t);
                }
                parts.numbers.erase(it);
            }
        }
    }
    readRawData(flag);
}
