#include "engine/ResultBufferReader.h"
#include "engine/ResultValueAndUnit.h"

#include "ZamResultSection.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

using Buffer = std::vector<unsigned char>;

void addSection(Buffer& b, int type, const void* data, size_t size)
{
    const size_t at = zamsection::append(b, type, size);
    if (size)
        std::memcpy(b.data() + at, data, size);
}
void addText(Buffer& b, int type, const std::string& text)
{
    addSection(b, type, text.c_str(), text.size() + 1);
}
void add32(Buffer& b, qint32 v)
{
    addSection(b, 0, &v, sizeof v);
}
void add64(Buffer& b, qint64 v)
{
    addSection(b, 12, &v, sizeof v);
}
// A raw header: any length and type, no data behind it.
void addHeader(Buffer& b, quint32 length, qint32 type)
{
    const size_t at = b.size();
    b.resize(at + 8);
    std::memcpy(b.data() + at, &length, 4);
    std::memcpy(b.data() + at + 4, &type, 4);
}

ResultMemory appendTo(Buffer& b)
{
    return [&b](unsigned size, int type) -> void* {
        const size_t at = zamsection::append(b, type, size);
        return at == SIZE_MAX ? nullptr : b.data() + at;
    };
}

} // namespace

TEST(ResultBufferReader, PollValuePrefersTheLast64BitSection)
{
    const qint64 kUntouched = 123456789;
    struct Case {
        const char* what;
        Buffer buffer;
        bool found;
        qint64 value;
    };
    Buffer both, only32, twice, order, short64, empty;
    add32(both, 7);
    add64(both, 5000000000LL);
    add32(only32, -3);
    add32(twice, 1);
    add32(twice, 2);
    add64(order, 11);
    add32(order, 22);
    const qint32 four = 4;
    addSection(short64, 12, &four, sizeof four);   // too short for a 64-bit value
    add32(short64, 9);
    const Case cases[] = {
        {"32 then 64", both, true, 5000000000LL},
        {"negative 32 is sign-extended", only32, true, -3},
        {"the later of two", twice, true, 2},
        {"64 wins whatever the order", order, true, 11},
        {"a short 64 counts as absent", short64, true, 9},
        {"empty", empty, false, kUntouched},
    };
    for (const Case& c : cases) {
        qint64 out = kUntouched;
        EXPECT_EQ(ResultBufferReader(c.buffer).pollResultValue(out), c.found) << c.what;
        EXPECT_EQ(out, c.value) << c.what;
    }
    qint64 out = kUntouched;
    EXPECT_FALSE(ResultBufferReader(nullptr, 100).pollResultValue(out));
    EXPECT_EQ(out, kUntouched);
}

TEST(ResultBufferReader, TextsAndBytesOfTheLastSectionOfAType)
{
    Buffer b;
    addText(b, 9, "first");
    addText(b, 1, "ms");
    addText(b, 9, "12 \xC2\xB0" "C");
    const char cut[] = {'a', 'b', 0, 'c', 'd'};
    addSection(b, 4, cut, sizeof cut);
    const char noZero[] = {'x', 'y', 'z'};
    addSection(b, 5, noZero, sizeof noZero);

    const ResultBufferReader r(b);
    QString text = "unchanged";
    EXPECT_TRUE(r.resultSectionUtf8Text(text, 9));
    EXPECT_EQ(text, QString::fromUtf8("12 \xC2\xB0" "C"));
    EXPECT_TRUE(r.resultSectionText(text, 1));
    EXPECT_EQ(text, "ms");
    EXPECT_TRUE(r.resultSectionText(text, 4));
    EXPECT_EQ(text, "ab");                  // up to the first zero byte
    EXPECT_TRUE(r.resultSectionUtf8Text(text, 5));
    EXPECT_EQ(text, "xyz");                 // no zero: the section's data and no further
    text = "unchanged";
    EXPECT_FALSE(r.resultSectionText(text, 6));
    EXPECT_FALSE(r.resultSectionUtf8Text(text, 6));
    EXPECT_EQ(text, "unchanged");

    QByteArray bytes("unchanged");
    EXPECT_TRUE(r.resultSectionBytes(bytes, 4));
    EXPECT_EQ(bytes, QByteArray(cut, sizeof cut));   // exactly the size asked for
    EXPECT_TRUE(r.resultSectionBytes(bytes, 9));
    EXPECT_EQ(bytes, QByteArray("12 \xC2\xB0" "C", 7));
    bytes = "unchanged";
    EXPECT_FALSE(r.resultSectionBytes(bytes, 6));
    EXPECT_EQ(bytes, "unchanged");

    const unsigned char* header = r.findResultSection(9);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header, b.data() + 32);       // the second type-9 section
    EXPECT_EQ(r.findResultSection(6), nullptr);
}

TEST(ResultBufferReader, LinesOfBase64)
{
    struct Case {
        const char* what;
        std::string text;
        QStringList lines;
    } cases[] = {
        {"two lines", "YWJj\nZGVm\n", {"abc", "def"}},
        {"no line feed", "YWJj", {}},
        {"tail after the last line feed", "YWJj\nZGVm", {"abc"}},
        {"empty line", "\nYWJj\n", {"", "abc"}},
        {"UTF-8 text", "w6RiYw==\n", {QString::fromUtf8("\xC3\xA4" "bc")}},
        {"a zero byte inside is kept", "YQBi\n", {QString::fromUtf8("a\0b", 3)}},
        {"nothing", "", {}},
    };
    for (const Case& c : cases) {
        Buffer b;
        addText(b, 11, "bWlzc2Vk\n");   // an earlier section of the type loses
        addText(b, 11, c.text);
        QStringList out{"stale"};
        EXPECT_TRUE(ResultBufferReader(b).resultSectionLines(out)) << c.what;
        EXPECT_EQ(out, c.lines) << c.what;
    }
    Buffer none;
    addText(none, 9, "YWJj\n");
    QStringList out{"stale"};
    EXPECT_FALSE(ResultBufferReader(none).resultSectionLines(out));
    EXPECT_TRUE(out.isEmpty());
}

TEST(ResultBufferReader, StopsAtAMalformedSection)
{
    // A good type-0 section with 7, then something broken that claims a type-0 value of 9.
    struct Case {
        const char* what;
        Buffer tail;
    };
    Buffer zeroLength, headerOnly, pastEnd, huge, cut, badTail, notMultiple, shortRest;
    addHeader(zeroLength, 0, 0);
    add32(zeroLength, 9);
    addHeader(headerOnly, 8, 0);
    add32(headerOnly, 9);
    addHeader(pastEnd, 48, 0);
    add32(pastEnd, 9);
    addHeader(huge, 0xfffffff0u, 0);
    add32(huge, 9);
    add32(cut, 9);
    cut.pop_back();
    add32(badTail, 9);
    badTail.back() = 30;
    addHeader(notMultiple, 20, 0);
    notMultiple.resize(notMultiple.size() + 12, 0);
    notMultiple.back() = 9;
    shortRest = {9, 0, 0};
    const Case cases[] = {
        {"length 0", zeroLength},          {"length of a header only", headerOnly},
        {"runs past the buffer", pastEnd}, {"length near 4 GiB", huge},
        {"cut short", cut},                {"bad tail byte", badTail},
        {"length not a multiple of 16", notMultiple}, {"fewer bytes than a header", shortRest},
    };
    for (const Case& c : cases) {
        Buffer b;
        add32(b, 7);
        b.insert(b.end(), c.tail.begin(), c.tail.end());
        const ResultBufferReader r(b);
        qint64 value = 0;
        EXPECT_TRUE(r.pollResultValue(value)) << c.what;
        EXPECT_EQ(value, 7) << c.what;
        EXPECT_EQ(r.findResultSection(0), b.data()) << c.what;
        // The bytes after the good section are never taken for a section.
        QByteArray bytes;
        EXPECT_TRUE(r.resultSectionBytes(bytes, 0)) << c.what;
        EXPECT_EQ(bytes.size(), 4) << c.what;
    }
    const Buffer tiny{16, 0, 0, 0, 0, 0, 0};
    qint64 value = 0;
    EXPECT_FALSE(ResultBufferReader(tiny).pollResultValue(value));
}

TEST(ResultValueAndUnit, WritesValueUnitAnd64BitValue)
{
    Buffer b;
    void* data = addResultValueAndUnit(appendTo(b), 5000000000LL, "ms");
    ASSERT_EQ(b.size(), 96u);
    const struct {
        size_t at;
        quint32 length;
        qint32 type;
    } sections[] = {{0, 32, 0}, {32, 32, 1}, {64, 32, 12}};
    for (const auto& s : sections) {
        quint32 length;
        qint32 type;
        std::memcpy(&length, b.data() + s.at, 4);
        std::memcpy(&type, b.data() + s.at + 4, 4);
        EXPECT_EQ(length, s.length) << s.at;
        EXPECT_EQ(type, s.type) << s.at;
    }
    qint32 low;
    std::memcpy(&low, b.data() + 8, 4);
    EXPECT_EQ(low, 705032704);
    EXPECT_EQ(data, b.data() + 72);

    const ResultBufferReader r(b);
    qint64 value = 0;
    QString unit;
    EXPECT_TRUE(r.pollResultValue(value));
    EXPECT_EQ(value, 5000000000LL);
    EXPECT_TRUE(r.resultSectionText(unit, 1));
    EXPECT_EQ(unit, "ms");
    QByteArray unitBytes;
    EXPECT_TRUE(r.resultSectionBytes(unitBytes, 1));
    EXPECT_EQ(unitBytes, QByteArray("ms\0\0\0\0\0\0\0\0\0", 11));   // strlen + 9 bytes
}

TEST(ResultValueAndUnit, StopsWhenTheMemoryRefuses)
{
    for (int allowed = 0; allowed < 3; ++allowed) {
        Buffer b;
        int calls = 0;
        const ResultMemory limited = [&](unsigned size, int type) -> void* {
            if (calls++ >= allowed)
                return nullptr;
            return appendTo(b)(size, type);
        };
        EXPECT_EQ(addResultValueAndUnit(limited, -1, nullptr), nullptr) << allowed;
        EXPECT_EQ(b.size(), size_t(32 * allowed)) << allowed;
    }
    Buffer b;
    ASSERT_NE(addResultValueAndUnit(appendTo(b), -1, nullptr), nullptr);
    qint64 value = 0;
    QString unit = "x";
    const ResultBufferReader r(b);
    EXPECT_TRUE(r.pollResultValue(value));
    EXPECT_EQ(value, -1);
    EXPECT_TRUE(r.resultSectionText(unit, 1));
    EXPECT_EQ(unit, QString());
    EXPECT_EQ(addResultValueAndUnit(ResultMemory(), 1, "ms"), nullptr);
}
