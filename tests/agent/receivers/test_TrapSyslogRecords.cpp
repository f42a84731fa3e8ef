#include "receivers/CSnmpTrap.h"
#include "receivers/SyslogLine.h"

#include <gtest/gtest.h>

#include <QDataStream>

namespace {

QByteArray hex(const char* h)
{
    return QByteArray::fromHex(QByteArray(h).replace(' ', ""));
}

template <class T>
QByteArray write(const T& v)
{
    QByteArray b;
    QDataStream out(&b, QIODevice::WriteOnly);
    out.setVersion(7);
    out << v;
    return b;
}

template <class T>
bool read(const QByteArray& b, T& v)
{
    QDataStream in(b);
    in.setVersion(7);
    in >> v;
    return in.status() == QDataStream::Ok;
}

} // namespace

TEST(SnmpTrapRecord, StreamForm)
{
    EXPECT_EQ(write(CSnmpTrapPtr()), hex("00"));
    CSnmpTrapPtr none(new CSnmpTrap);
    ASSERT_TRUE(read(hex("00"), none));
    EXPECT_FALSE(none);

    QExplicitlySharedDataPointer<CSnmpTrap> t(new CSnmpTrap);
    t->version = 1;
    t->sender = "1";
    t->trapOid = ".";
    t->timestamp = 5;
    t->payload.insert("k", CSnmpTrapPayload("v"));
    const QByteArray b = write(CSnmpTrapPtr(t.data()));
    EXPECT_EQ(b, hex("01 00000001 00000002 0031 00000002 002e 00000001 00000002 006b 01 00000001 76 00000005 "
                     "ffffffff ffffffff ffffffff"));
    CSnmpTrapPtr back;
    ASSERT_TRUE(read(b, back));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->version, 1);
    EXPECT_EQ(back->timestamp, 5);
    EXPECT_EQ(back->payload.value("k").data, "v");

    // Hostile payload count and short records give no trap.
    for (const QByteArray& bad : {hex("01 00000001 ffffffff ffffffff 7fffffff"), b.left(b.size() - 1), hex("01")}) {
        CSnmpTrapPtr x;
        EXPECT_FALSE(read(bad, x));
        EXPECT_FALSE(x);
    }
}

TEST(SyslogLineRecord, StreamForm)
{
    EXPECT_EQ(write(SyslogCallbackSharedDataPointer()), hex("00"));
    QExplicitlySharedDataPointer<SyslogLine> invalid(new SyslogLine);
    EXPECT_EQ(write(SyslogCallbackSharedDataPointer(invalid.data())), hex("00"));

    QExplicitlySharedDataPointer<SyslogLine> l(new SyslogLine);
    l->valid = true;
    l->isRfc5424 = true;
    l->hostName = "h";
    l->appName = "a";
    l->priority = 165;
    l->facility = 1 << 20;
    l->severity = 1 << 5;
    l->timestamp = QDateTime(QDate(2003, 10, 11), QTime(22, 14, 15, 3), Qt::UTC);
    l->message = "hello";
    l->processId = 0;
    l->messageId = "ID47";
    l->structuredData["id1"]["a"] = "1";
    l->structuredData["id2"]["c"] = "]";
    l->sender = "10.0.0.1";
    l->rawText = "raw";
    const QByteArray b = write(SyslogCallbackSharedDataPointer(l.data()));
    SyslogCallbackSharedDataPointer back;
    ASSERT_TRUE(read(b, back));
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->valid);
    EXPECT_TRUE(back->isRfc5424);
    EXPECT_EQ(back->priority, 165);
    EXPECT_EQ(back->facility, 1 << 20);
    EXPECT_EQ(back->severity, 1 << 5);
    EXPECT_EQ(back->timestamp, l->timestamp);
    EXPECT_EQ(back->message, "hello");
    EXPECT_EQ(back->messageId, "ID47");
    EXPECT_EQ(back->structuredData, l->structuredData);
    EXPECT_TRUE(back->sender.isEmpty());  // not carried
    EXPECT_TRUE(back->rawText.isNull());

    // The structured-data map counts (outer and inner) are checked before reading.
    // Outer count, then per element: id (4+6), inner count, name (4+2), value (4+2).
    const int mapAt = b.size() - 4 - 2 * (10 + 4 + 6 + 6);
    ASSERT_EQ(b.mid(mapAt, 4), hex("00000002"));
    ASSERT_EQ(b.mid(mapAt + 14, 4), hex("00000001"));
    QByteArray hostile = b.left(mapAt) + hex("7fffffff");
    SyslogCallbackSharedDataPointer x;
    EXPECT_FALSE(read(hostile, x));
    EXPECT_FALSE(x);
    hostile = b.left(mapAt + 14) + hex("7fffffff") + b.mid(mapAt + 18);
    EXPECT_FALSE(read(hostile, x));
    EXPECT_FALSE(x);
    for (int cut = 1; cut < b.size(); ++cut) {
        SyslogCallbackSharedDataPointer y;
        read(b.left(cut), y);
        EXPECT_FALSE(y) << cut;
    }
}
