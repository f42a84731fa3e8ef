#include "ResultBufferReader.h"

#include "ZamResultSection.h"
#include "zam_plugin_api.h"

#include <cstring>

bool ResultBufferReader::section(int type, const unsigned char*& data, size_t& size) const
{
    zamsection::View view;
    if (!m_data || !zamsection::findLast(m_data, m_size, type, view))
        return false;
    data = m_data + view.offset;
    size = view.size;
    return true;
}

const unsigned char* ResultBufferReader::findResultSection(int type) const
{
    const unsigned char* data = nullptr;
    size_t size = 0;
    return section(type, data, size) ? data - zamsection::kHeaderSize : nullptr;
}

bool ResultBufferReader::pollResultValue(qint64& out) const
{
    const unsigned char* data = nullptr;
    size_t size = 0;
    if (section(ZAM_SECTION_PERF64, data, size) && size >= sizeof(qint64)) {
        std::memcpy(&out, data, sizeof(qint64));
        return true;
    }
    if (section(ZAM_SECTION_PERF32, data, size) && size >= sizeof(qint32)) {
        qint32 value;
        std::memcpy(&value, data, sizeof(qint32));
        out = value;
        return true;
    }
    return false;
}

bool ResultBufferReader::resultSectionText(QString& out, int type) const
{
    const unsigned char* data = nullptr;
    size_t size = 0;
    if (!section(type, data, size))
        return false;
    const char* text = reinterpret_cast<const char*>(data);
    out = QString::fromLocal8Bit(text, int(qstrnlen(text, uint(size))));
    return true;
}

bool ResultBufferReader::resultSectionUtf8Text(QString& out, int type) const
{
    const unsigned char* data = nullptr;
    size_t size = 0;
    if (!section(type, data, size))
        return false;
    const char* text = reinterpret_cast<const char*>(data);
    out = QString::fromUtf8(text, int(qstrnlen(text, uint(size))));
    return true;
}

bool ResultBufferReader::resultSectionBytes(QByteArray& out, int type) const
{
    const unsigned char* data = nullptr;
    size_t size = 0;
    if (!section(type, data, size))
        return false;
    out = QByteArray(reinterpret_cast<const char*>(data), int(size));
    return true;
}

bool ResultBufferReader::resultSectionLines(QStringList& out) const
{
    out.clear();
    QByteArray bytes;
    if (!resultSectionBytes(bytes, kLinesSection))
        return false;
    int start = 0;
    for (int end = bytes.indexOf('\n'); end >= 0; end = bytes.indexOf('\n', start)) {
        const QByteArray decoded = QByteArray::fromBase64(bytes.mid(start, end - start));
        out.append(QString::fromUtf8(decoded.constData(), decoded.size()));
        start = end + 1;
    }
    return true;
}
