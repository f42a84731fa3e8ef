#include "support/CapturedMessages.h"

#include "common/NotificationBase.h"
#include "common/NotificationFixedSize.h"
#include "common/NotificationIntStr.h"
#include "common/NotificationParser.h"

#include <QBuffer>
#include <QDataStream>

#include <gtest/gtest.h>

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

QByteArray frameOf(const NotificationBase& n)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(NotificationBase::writeTo(&n, &buffer));
    return buffer.data();
}

// Reads frames from the bytes the way a socket reader does.
struct ReadResult
{
    NotificationPtr notification;
    bool error = false;
    bool skipped = false;
    qint64 left = 0;   // bytes still unread
};

ReadResult readOnce(QBuffer& buffer)
{
    ReadResult r;
    r.notification = NotificationBase::readFrom(&buffer, r.error, &r.skipped);
    r.left = buffer.bytesAvailable();
    return r;
}

ReadResult readOnce(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readOnce(buffer);
}

const NotificationFixedSize* asFixed(const NotificationPtr& n)
{
    return n && n->type() == NotificationBase::FixedSizeType ? static_cast<const NotificationFixedSize*>(n.data())
                                                              : nullptr;
}

const NotificationIntStr* asIntStr(const NotificationPtr& n)
{
    return n && n->type() == NotificationBase::IntStrType ? static_cast<const NotificationIntStr*>(n.data())
                                                           : nullptr;
}

// (code 7, integers 1 and -2, strings "Ab", null, empty)
const char* const kIntStrFrame =
    "0000002401"
    "00000007" "00000002" "00000003"
    "00000001" "fffffffe"
    "00000004" "00410062" "ffffffff" "00000000";

}

TEST(Notification, FixedSizeIsWrittenAndReadByteExact)
{
    const QByteArray fixture = hex("000000100000002712000000010000000000000000");
    ASSERT_EQ(fixture.size(), 21);
    EXPECT_EQ(frameOf(NotificationFixedSize(10002, 1, 0, 0)), fixture);

    const ReadResult r = readOnce(fixture);
    EXPECT_FALSE(r.error);
    EXPECT_EQ(r.left, 0);
    const NotificationFixedSize* n = asFixed(r.notification);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->code(), 10002);
    EXPECT_EQ(n->value1(), 1);
    EXPECT_EQ(n->value2(), 0);
    EXPECT_EQ(n->value3(), 0);

    // The payload is what QDataStream version 11 makes of the four values.
    QByteArray expected;
    QDataStream out(&expected, QIODevice::WriteOnly);
    out.setVersion(11);
    out << qint32(-5) << qint32(2147483647) << qint32(-2147483647 - 1) << qint32(65536);
    EXPECT_EQ(NotificationFixedSize(-5, 2147483647, -2147483647 - 1, 65536).serialize(), expected);
}

TEST(Notification, IntStrIsWrittenAndReadByteExact)
{
    const NotificationIntStr sent(7, {1, -2}, {QStringLiteral("Ab"), QString(), QStringLiteral("")});
    EXPECT_EQ(frameOf(sent), hex(kIntStrFrame));

    const ReadResult r = readOnce(hex(kIntStrFrame));
    EXPECT_FALSE(r.error);
    const NotificationIntStr* n = asIntStr(r.notification);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->code(), 7);
    EXPECT_EQ(n->integers(), (QList<qint32>{1, -2}));
    ASSERT_EQ(n->strings().size(), 3);
    EXPECT_EQ(n->strings()[0], QStringLiteral("Ab"));
    EXPECT_TRUE(n->strings()[1].isNull());
    EXPECT_TRUE(n->strings()[2].isEmpty());
    EXPECT_FALSE(n->strings()[2].isNull());

    // Non-Latin text survives as UTF-16 big-endian.
    const QString text = QString::fromUtf8("Z\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80");
    const NotificationPtr back = NotificationBase::parseFrame(
        NotificationBase::frameBytes(NotificationIntStr(1, {}, {text})).constData(),
        NotificationBase::frameBytes(NotificationIntStr(1, {}, {text})).size()).notification;
    ASSERT_NE(asIntStr(back), nullptr);
    EXPECT_EQ(asIntStr(back)->strings(), QStringList{text});

    EXPECT_EQ(NotificationIntStr(3, {}, {}).serialize().size(), 12);
}

TEST(Notification, TextForms)
{
    EXPECT_EQ(NotificationFixedSize(1, 7, 8, 0).toString(), QStringLiteral("fixed size 1 7 8 0"));
    EXPECT_EQ(NotificationFixedSize(-1, 0, 0, 0).toString(), QStringLiteral("fixed size 4294967295 0 0 0"));
    EXPECT_EQ(NotificationIntStr(9, {1, 2}, {QStringLiteral("x")}).toString(), QStringLiteral("int str 9 2 1"));
}

TEST(Notification, DispatchReachesTheHandlerOfItsKind)
{
    struct Recorder : NotificationParser
    {
        QStringList calls;
        void handleFixedSize(const NotificationFixedSize& n) override { calls << QStringLiteral("fs ") + n.toString(); }
        void handleIntStr(const NotificationIntStr& n) override { calls << QStringLiteral("is ") + n.toString(); }
    } recorder;
    NotificationFixedSize(1, 2, 3, 4).dispatchTo(recorder);
    NotificationIntStr(5, {6}, {}).dispatchTo(recorder);
    EXPECT_EQ(recorder.calls,
              (QStringList{QStringLiteral("fs fixed size 1 2 3 4"), QStringLiteral("is int str 5 1 0")}));
}

TEST(Notification, IncompleteFramesAreLeftUnread)
{
    const QByteArray fixture = hex("000000100000002712000000010000000000000000");
    for (int n = 0; n < fixture.size(); ++n) {
        SCOPED_TRACE(n);
        const ReadResult r = readOnce(fixture.left(n));
        EXPECT_FALSE(r.error);
        EXPECT_FALSE(r.skipped);
        EXPECT_FALSE(r.notification);
        EXPECT_EQ(r.left, n);
        EXPECT_EQ(NotificationBase::parseFrame(fixture.constData(), n).status,
                  NotificationBase::FrameStatus::Incomplete);
    }
    bool error = false;
    EXPECT_FALSE(NotificationBase::readFrom(nullptr, error));
    EXPECT_TRUE(error);
}

TEST(Notification, LengthsOverTheCapAreErrorsBeforeAnyPayloadArrives)
{
    const struct {
        const char* header;
    } cases[] = {
        {"ffffffff00"}, {"ffffffff01"}, {"ffffffff02"},
        {"1000000000"}, {"1000000001"}, {"10000000ff"},
        {"0000001100"},                     // fixed size takes 16 bytes at most
        {"0001000101"}, {"0001000107"},     // 64 KiB + 1
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.header);
        const QByteArray header = hex(c.header);
        const ReadResult r = readOnce(header);
        EXPECT_TRUE(r.error);
        EXPECT_FALSE(r.notification);
        EXPECT_EQ(r.left, 5);
        EXPECT_EQ(NotificationBase::parseFrame(header.constData(), header.size()).status,
                  NotificationBase::FrameStatus::Error);
    }
    // The largest allowed lengths are waited for.
    for (const char* header : {"0000001000", "0001000001", "0001000009"}) {
        SCOPED_TRACE(header);
        const ReadResult r = readOnce(hex(header));
        EXPECT_FALSE(r.error);
        EXPECT_EQ(r.left, 5);
    }
}

TEST(Notification, UnknownTypeSkipsItsFrameAndTheNextOneIsRead)
{
    CapturedMessages messages;
    const QByteArray next = hex("000000100000002712000000010000000000000000");
    for (const char* skipped : {"0000000002", "0000000302aabbcc", "00000004ff01020304"}) {
        SCOPED_TRACE(skipped);
        CapturedMessages::clear();
        QBuffer buffer;
        buffer.setData(hex(skipped) + next);
        buffer.open(QIODevice::ReadOnly);

        const ReadResult first = readOnce(buffer);
        EXPECT_FALSE(first.error);
        EXPECT_TRUE(first.skipped);
        EXPECT_FALSE(first.notification);
        EXPECT_EQ(first.left, next.size());
        EXPECT_EQ(CapturedMessages::lines(), QStringList{QStringLiteral("warning: bad notification type")});

        const ReadResult second = readOnce(buffer);
        ASSERT_NE(asFixed(second.notification), nullptr);
        EXPECT_EQ(asFixed(second.notification)->code(), 10002);
    }
}

TEST(Notification, ShortFixedSizePayloadReadsMissingValuesAsZero)
{
    const struct {
        const char* frame;
        qint32 code, v1, v2, v3;
    } cases[] = {
        {"0000000000", 0, 0, 0, 0},
        {"00000006" "00" "00000001" "0007", 1, 0, 0, 0},           // 6 bytes: code and half a value
        {"0000000c00000000010000000700000008", 1, 7, 8, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frame);
        const QByteArray frame = hex(c.frame);
        const ReadResult r = readOnce(frame);
        const NotificationFixedSize* n = asFixed(r.notification);
        ASSERT_NE(n, nullptr);
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ((QList<qint32>{n->code(), n->value1(), n->value2(), n->value3()}),
                  (QList<qint32>{c.code, c.v1, c.v2, c.v3}));
    }
}

TEST(Notification, IntStrCountsAreBoundedByThePayload)
{
    const struct {
        const char* payload;
        int integers;
        int strings;
    } cases[] = {
        {"", 0, 0},
        {"00000001", 0, 0},                                          // code only
        {"00000001" "7fffffff" "00000000" "0000000a0000000b", 2, 0},  // n far beyond the payload
        {"00000001" "00000000" "7fffffff" "000000020041", 0, 1},      // m far beyond the payload
        {"00000001" "80000000" "80000000" "00000005", 0, 0},          // negative counts read nothing
        {"00000001" "00000000" "00000001" "7ffffffe0041", 0, 0},      // string longer than the payload
        {"00000001" "00000000" "00000001" "fffffffe", 0, 0},          // 4 GiB - 2 bytes
        {"00000001" "00000000" "00000002" "00000003004100" "00000000", 0, 0},   // odd byte count
        {"00000001" "00000001" "00000001" "0000000a" "ffffffff", 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.payload);
        const QByteArray payload = hex(c.payload);
        QByteArray frame(5, '\0');
        frame[3] = char(payload.size());
        frame[4] = 1;
        frame += payload;
        const NotificationBase::Frame parsed = NotificationBase::parseFrame(frame.constData(), frame.size());
        ASSERT_EQ(parsed.status, NotificationBase::FrameStatus::Complete);
        EXPECT_EQ(parsed.size, frame.size());
        const NotificationIntStr* n = asIntStr(parsed.notification);
        ASSERT_NE(n, nullptr);
        EXPECT_EQ(n->integers().size(), c.integers);
        EXPECT_EQ(n->strings().size(), c.strings);
    }
}

TEST(Notification, WritingRefusesWhatAReaderWouldRefuse)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const NotificationIntStr tooLong(1, {}, {QString(40000, QLatin1Char('x'))});   // 80000 bytes
    EXPECT_FALSE(NotificationBase::writeTo(&tooLong, &buffer));
    EXPECT_TRUE(NotificationBase::frameBytes(tooLong).isEmpty());
    EXPECT_EQ(buffer.size(), 0);

    EXPECT_FALSE(NotificationBase::writeTo(NotificationPtr(new NotificationFixedSize(1, 0, 0, 0)), nullptr));
    EXPECT_FALSE(NotificationBase::writeTo(NotificationPtr(), &buffer));

    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    EXPECT_FALSE(NotificationBase::writeTo(NotificationPtr(new NotificationFixedSize(1, 0, 0, 0)), &readOnly));

    // Just under the cap still goes.
    const NotificationIntStr largest(1, {}, {QString((NotificationBase::kMaxPayload - 16) / 2, QLatin1Char('y'))});
    EXPECT_TRUE(NotificationBase::writeTo(&largest, &buffer));
    EXPECT_EQ(buffer.size(), 5 + NotificationBase::kMaxPayload);
}

TEST(Notification, CreateByType)
{
    CapturedMessages messages;
    EXPECT_NE(asFixed(NotificationBase::create(0, QByteArray(16, '\0'))), nullptr);
    EXPECT_NE(asIntStr(NotificationBase::create(1, QByteArray(12, '\0'))), nullptr);
    EXPECT_TRUE(CapturedMessages::lines().isEmpty());
    EXPECT_FALSE(NotificationBase::create(2, QByteArray(16, '\0')));
    EXPECT_FALSE(NotificationBase::create(255, QByteArray()));
    EXPECT_EQ(CapturedMessages::count(QStringLiteral("warning: bad notification type")), 2);
}
