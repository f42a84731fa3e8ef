// The result-section reader over arbitrary buffers: every view stays inside the buffer, and
// writing the views back gives a buffer that reads the same. The result-buffer readers agree
// with the section reader and never look outside a section's data.

#include "ZamResultSection.h"
#include "engine/ResultBufferReader.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void checkReaders(const uint8_t* data, size_t size, const std::map<int, zamsection::View>& views)
{
    // A copy of exactly the input's size, so reading one byte too far trips the sanitizer.
    std::vector<unsigned char> exact(data, data + size);
    const ResultBufferReader reader(exact.data(), exact.size());

    for (int type : {0, 1, 3, 9, 11, 12, -1}) {
        const auto it = views.find(type);
        const unsigned char* header = reader.findResultSection(type);
        QByteArray bytes("unchanged");
        QString text = QStringLiteral("unchanged");
        const bool hasBytes = reader.resultSectionBytes(bytes, type);
        const bool hasText = reader.resultSectionUtf8Text(text, type);
        reader.resultSectionText(text, type);
        if (it == views.end()) {
            if (header || hasBytes || hasText || bytes != "unchanged")
                abort();
            continue;
        }
        if (header != exact.data() + it->second.offset - zamsection::kHeaderSize || !hasBytes || !hasText)
            abort();
        if (size_t(bytes.size()) != it->second.size
            || std::memcmp(bytes.constData(), data + it->second.offset, it->second.size) != 0)
            abort();
    }

    qint64 value = -7;
    const bool hasValue = reader.pollResultValue(value);
    const auto v64 = views.find(12);
    const auto v32 = views.find(0);
    const bool expected = (v64 != views.end() && v64->second.size >= 8) || (v32 != views.end() && v32->second.size >= 4);
    if (hasValue != expected || (!hasValue && value != -7))
        abort();

    QStringList lines{QStringLiteral("stale")};
    if (reader.resultSectionLines(lines) != (views.count(ResultBufferReader::kLinesSection) == 1))
        abort();
    if (views.count(ResultBufferReader::kLinesSection) == 0 && !lines.isEmpty())
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::map<int, zamsection::View> views;
    zamsection::read(data, size, views);
    std::vector<unsigned char> copy;
    for (const auto& v : views) {
        if (v.second.offset > size || v.second.size > size - v.second.offset)
            abort();
        const size_t at = zamsection::append(copy, v.first, v.second.size);
        std::memcpy(copy.data() + at, data + v.second.offset, v.second.size);
    }
    std::map<int, zamsection::View> again;
    if (!zamsection::read(copy.data(), copy.size(), again) || again.size() != views.size())
        abort();
    for (const auto& v : again) {
        const auto& old = views.at(v.first);
        if (v.second.size != old.size || std::memcmp(copy.data() + v.second.offset, data + old.offset, old.size) != 0)
            abort();
    }
    checkReaders(data, size, views);
    return 0;
}
