#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <vector>

// Reads back a monitor's result buffer (the sections that a poll composed), section by section;
// for each type the last section wins. A non-owning view: the buffer must outlive the reader
// and not change while it is read. Reading stops at a malformed section, so nothing outside
// the buffer or a section's own data is ever read. No state, no locks.
class ResultBufferReader
{
public:
    // Lines of Base64 text, one per line feed.
    static constexpr int kLinesSection = 11;

    ResultBufferReader(const unsigned char* data, size_t size) : m_data(data), m_size(data ? size : 0) {}
    explicit ResultBufferReader(const QByteArray& buffer)
        : ResultBufferReader(reinterpret_cast<const unsigned char*>(buffer.constData()), size_t(buffer.size()))
    {
    }
    explicit ResultBufferReader(const std::vector<unsigned char>& buffer)
        : ResultBufferReader(buffer.data(), buffer.size())
    {
    }

    // The header of the last section of that type, or null.
    const unsigned char* findResultSection(int type) const;
    // The 64-bit value of the last type-12 section, else the sign-extended 32-bit value of the
    // last type-0 section; false (out unchanged) without either. A section too short to hold
    // its value counts as absent.
    bool pollResultValue(qint64& out) const;
    // The data of the last section of that type up to its first zero byte, from the local 8-bit
    // encoding or from UTF-8; false (out unchanged) without such a section.
    bool resultSectionText(QString& out, int type) const;
    bool resultSectionUtf8Text(QString& out, int type) const;
    // The data bytes of the last section of that type, as many as were asked for it.
    bool resultSectionBytes(QByteArray& out, int type) const;
    // out is emptied; each line-feed-ended piece of the last type-11 section is Base64, decoded
    // to UTF-8 text. Bytes after the last line feed are ignored. True when the section exists.
    bool resultSectionLines(QStringList& out) const;

private:
    bool section(int type, const unsigned char*& data, size_t& size) const;

    const unsigned char* m_data;
    size_t m_size;
};
