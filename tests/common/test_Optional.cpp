#include "common/Optional.h"
#include "common/TemplateAttachment.h"
#include "support/CapturedMessages.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDataStream>
#include <QStringList>
#include <QVariant>

namespace {

// The link's records use stream version 7 (the Qt 4.0 format).
static_assert(QDataStream::Qt_4_0 == 7, "link stream version");

template<typename T>
QByteArray write(const T& v)
{
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setVersion(7);
    s << v;
    return out;
}

template<typename T>
QDataStream::Status read(const QByteArray& bytes, T& v)
{
    QDataStream s(bytes);
    s.setVersion(7);
    s >> v;
    return s.status();
}

STemplateAttachmentData sampleRecord()
{
    STemplateAttachmentData a;
    a.id = 7;
    a.number = Optional<int>(1);
    a.name = Optional<QString>(QStringLiteral("ab"));
    a.type = Optional<int>(1);
    a.checksum = Optional<int>::null();
    a.replace = Optional<bool>(true);
    a.content = Optional<QByteArray>(QByteArray("xyz"));
    return a;
}

const char* const kSampleHex =
    "00000007"                   // id
    "0100" "00000001"            // number: set, value 1
    "0100" "00000004" "00610062" // name: set, "ab"
    "0001" "ffffffff"            // fileName: unset, null text
    "00000002" "00000001"        // type: int variant 1
    "0101" "00000000"            // checksum: null
    "0100" "01"                  // replace: set, true
    "0100" "00000003" "78797a";  // content: set, "xyz"

} // namespace

TEST(Optional, StatesAndStreamForm)
{
    struct Case { Optional<int> value; const char* hex; qint32 stateBack; };
    const Case cases[] = {
        {Optional<int>(5), "010000000005", 2},
        {Optional<int>(), "000100000000", 1},
        {Optional<int>::null(), "010100000000", 3},
        {Optional<int>(-1), "0100ffffffff", 2},
    };
    for (const Case& c : cases) {
        const QByteArray bytes = write(c.value);
        EXPECT_EQ(QByteArray(c.hex), bytes.toHex()) << c.hex;
        Optional<int> back(99);
        ASSERT_EQ(QDataStream::Ok, read(bytes, back));
        EXPECT_EQ(c.stateBack, back.state());
        EXPECT_TRUE(back == c.value);
    }
    // (false, false) comes back as state 0, which holds no value.
    Optional<int> zero;
    ASSERT_EQ(QDataStream::Ok, read(QByteArray::fromHex("000000000009"), zero));
    EXPECT_EQ(0, zero.state());
    EXPECT_FALSE(zero.hasValue());
}

TEST(Optional, AbsentValueWarnsAndGivesEmptyValue)
{
    CapturedMessages capture;
    // A null state read from a stream still carried a value; it must not leak out.
    Optional<QString> nullWithPayload;
    read(QByteArray::fromHex("010100000004") + QByteArray::fromHex("00780079"), nullWithPayload);
    const QString got = nullWithPayload.value();
    const int unsetValue = Optional<int>().value();
    EXPECT_TRUE(nullWithPayload.isNull());
    EXPECT_TRUE(got.isEmpty());
    EXPECT_EQ(0, unsetValue);
    EXPECT_EQ(QStringList({"attempt to get null value from Optional<>", "attempt to get null value from Optional<>"}),
              capture.texts(QtWarningMsg));
    EXPECT_EQ(QStringLiteral("xy"), nullWithPayload.valueOr(QStringLiteral("xy")));
    EXPECT_EQ(QStringLiteral("a"), Optional<QString>(QStringLiteral("a")).value());
}

TEST(TemplateAttachment, RecordStreamIsByteExact)
{
    const STemplateAttachmentData a = sampleRecord();
    const QByteArray bytes = write(a);
    EXPECT_EQ(QByteArray(kSampleHex), bytes.toHex());
    STemplateAttachmentData back;
    ASSERT_EQ(QDataStream::Ok, read(bytes, back));
    EXPECT_TRUE(back == a);

    // Without content, the attachment alone is the record minus the last field.
    const QByteArray head = write(static_cast<const STemplateAttachment&>(a));
    EXPECT_EQ(QByteArray(kSampleHex).left(QByteArray(kSampleHex).size() - 18), head.toHex());
}

TEST(TemplateAttachment, TypeTravelsAsVariant)
{
    struct Case { Optional<int> type; qint32 stateBack; int valueBack; };
    const Case cases[] = {
        {Optional<int>(0), 2, 0},
        {Optional<int>(1), 2, 1},
        {Optional<int>(2), 2, 2},
        {Optional<int>(5), 2, 2},    // any other kind is read back as 2
        {Optional<int>(-3), 2, 2},
        {Optional<int>(), 3, 0},     // unset cannot be told from null in this form
        {Optional<int>::null(), 3, 0},
    };
    for (const Case& c : cases) {
        STemplateAttachment a;
        a.type = c.type;
        STemplateAttachment back;
        ASSERT_EQ(QDataStream::Ok, read(write(a), back));
        EXPECT_EQ(c.stateBack, back.type.state());
        EXPECT_EQ(c.valueBack, back.type.rawValue());
    }
    // The unset type is written as an invalid variant followed by a null text (Qt 4 form).
    STemplateAttachment a;
    EXPECT_EQ(QByteArray("00000000ffffffff"), write(a).toHex().mid(4 * 2 + 3 * 12, 16));
}

TEST(TemplateAttachment, TruncatedStreamsFailCleanly)
{
    const QByteArray full = write(sampleRecord());
    for (int n = 0; n < full.size(); ++n) {
        STemplateAttachmentData back;
        EXPECT_NE(QDataStream::Ok, read(full.left(n), back)) << n;
    }
}

TEST(TemplateAttachment, HostileStreamsFailWithoutHugeAllocations)
{
    const QByteArray prefix = QByteArray::fromHex("00000001" "0100" "00000001");
    struct Case { const char* what; QByteArray bytes; };
    const Case cases[] = {
        // A name that claims almost 4 GiB of text backed by two bytes.
        {"huge text", prefix + QByteArray::fromHex("0100" "fffffffe" "0041")},
        // An odd text length is corrupt.
        {"odd text", prefix + QByteArray::fromHex("0100" "00000003" "004100")},
        // A type variant holding a list that claims 2^31 entries.
        {"huge list variant",
         prefix + QByteArray::fromHex("0001ffffffff" "0001ffffffff" "0000000b" "7fffffff" "00000000")},
        // A type variant of a user type.
        {"user type variant",
         prefix + QByteArray::fromHex("0001ffffffff" "0001ffffffff" "0000007f" "00000004" "41424300")},
        // Content that claims 2 GiB.
        {"huge content", write(static_cast<const STemplateAttachment&>(sampleRecord()))
                             + QByteArray::fromHex("0100" "7fffffff" "00")},
    };
    for (const Case& c : cases) {
        STemplateAttachmentData back;
        EXPECT_NE(QDataStream::Ok, read(c.bytes, back)) << c.what;
        EXPECT_FALSE(back.content.hasValue()) << c.what;
    }
}

TEST(TemplateAttachment, TypeVariantOfOtherScalarKinds)
{
    // A peer writing the kind as another scalar variant is still understood.
    struct Case { QVariant v; qint32 state; int value; };
    const Case cases[] = {
        {QVariant(uint(1)), 2, 1},
        {QVariant(QStringLiteral("0")), 2, 0},
        {QVariant(QString()), 3, 0},
        {QVariant(7.0), 2, 2},
    };
    for (const Case& c : cases) {
        QByteArray bytes;
        QDataStream s(&bytes, QIODevice::WriteOnly);
        s.setVersion(7);
        s << qint32(1) << Optional<int>() << Optional<QString>() << Optional<QString>() << c.v
          << Optional<int>() << Optional<bool>();
        STemplateAttachment back;
        ASSERT_EQ(QDataStream::Ok, read(bytes, back));
        EXPECT_EQ(c.state, back.type.state());
        EXPECT_EQ(c.value, back.type.rawValue());
    }
}

TEST(TemplateAttachment, ChecksumIsCrc16OfContent)
{
    // CRC-16/X-25 check value of "123456789" is 0x906E.
    const Optional<int> c = computeChecksum("123456789");
    EXPECT_TRUE(c.hasValue());
    EXPECT_EQ(0x906E, c.rawValue());
    EXPECT_EQ(0, computeChecksum(QByteArray()).rawValue() & ~0xffff);
}
