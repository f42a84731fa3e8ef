#include "common/CDbException.h"
#include "common/GlobalSettingRegistry.h"
#include "support/CapturedMessages.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QThread>

#include <atomic>
#include <vector>

TEST(GlobalSettingRegistry, KnownNamesBothWays)
{
    struct Case { const char* name; int id; };
    const Case cases[] = {
        {"WebServer/Mode", 52}, {"WebServer\\Mode", 52}, {"WebServer/HttpPort", 53},
        {"WebServer/HttpsPort", 54}, {"Snmp/MibPaths", 131}, {"Admin/Email/SMTP1/Port", 1},
        {"Ini/Common/UsageStatsDeliveryEnabled", 173}, {"Mcp/HostName", 152},
        {"Admin/Email/Address", 77}, {"Firebase/FCMKey", 146},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.id, globalSettingId(QString::fromLatin1(c.name))) << c.name;
        EXPECT_EQ(QString::fromLatin1(c.name).replace('/', '\\'), globalSettingName(c.id)) << c.id;
    }
    // Every id of the key table is known; the gaps are not.
    int known = 0;
    for (int id = 1; id <= 173; ++id) {
        try {
            globalSettingName(id);
            ++known;
        } catch (const CDbException&) {
        }
    }
    EXPECT_EQ(166, known);
}

TEST(GlobalSettingRegistry, UnknownIdThrows)
{
    for (int id : {0, -1, 123, 171, 100000}) {
        try {
            globalSettingName(id);
            ADD_FAILURE() << id;
        } catch (const CDbException& e) {
            EXPECT_EQ(QStringLiteral("cannot find string for %1").arg(id), QString::fromLatin1(e.what()));
            EXPECT_EQ(-1, e.code());
            EXPECT_TRUE(e.detail().isEmpty());
        }
    }
}

// One test adds names, so the ids it sees are the first ones given out in this process.
TEST(GlobalSettingRegistry, NewNamesGetIdsFrom174WithOneWarningEach)
{
    CapturedMessages capture;
    const int first = globalSettingId(QStringLiteral("Custom/First"));
    const int second = globalSettingId(QStringLiteral("Custom\\Second"));
    const int again = globalSettingId(QStringLiteral("Custom\\First"));
    EXPECT_EQ(174, first);
    EXPECT_EQ(175, second);
    EXPECT_EQ(174, again);
    EXPECT_EQ(QStringList({"adding new global setting Custom/First", "adding new global setting Custom\\Second"}),
              capture.texts(QtWarningMsg));
    EXPECT_EQ(QStringLiteral("Custom\\First"), globalSettingName(174));

    // Concurrent additions of the same new names give each name exactly one id.
    CapturedMessages::clear();
    std::vector<std::vector<int>> seen(8);
    std::vector<QThread*> threads;
    for (int t = 0; t < 8; ++t)
        threads.push_back(QThread::create([&seen, t] {
            for (int i = 0; i < 50; ++i)
                seen[t].push_back(globalSettingId(QStringLiteral("Race/%1").arg(i)));
        }));
    for (QThread* th : threads)
        th->start();
    for (QThread* th : threads) {
        th->wait();
        delete th;
    }
    for (int t = 1; t < 8; ++t)
        EXPECT_EQ(seen[0], seen[t]);
    EXPECT_EQ(50, capture.texts(QtWarningMsg).size());
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(QStringLiteral("Race\\%1").arg(i), globalSettingName(seen[0][i]));
}

TEST(PackText, RoundTripAndBounds)
{
    const QString texts[] = {QStringLiteral("a"), QStringLiteral("/usr/share/snmp/mibs;$AppFiles/mibs"),
                             QString(1000, QChar(0x20ac))};
    for (const QString& t : texts) {
        const QString packed = packText(t);
        EXPECT_FALSE(packed.isEmpty());
        EXPECT_EQ(t, unpackText(packed));
    }
    EXPECT_TRUE(packText(QString()).isEmpty());
    EXPECT_TRUE(unpackText(QString()).isEmpty());
    // Known form: 4-byte big-endian size, then the zlib stream, all Base64.
    EXPECT_EQ(QByteArray::fromHex("00000001"), QByteArray::fromBase64(packText("a").toLatin1()).left(4));

    CapturedMessages capture;
    // Not Base64 of a zlib stream; truncated stream; a header claiming 4 GiB; a small header on
    // a stream that inflates beyond the cap.
    QByteArray bomb = qCompress(QByteArray(kMaxUnpackedTextBytes + 1024, 'a'), 9);
    bomb[0] = 0; bomb[1] = 0; bomb[2] = 0; bomb[3] = 16;
    const QString packed = packText(QStringLiteral("hello world"));
    const QString bad[] = {
        QStringLiteral("!!not packed!!"),
        packed.left(packed.size() - 8),
        QString::fromLatin1((QByteArray::fromHex("ffffffff") + QByteArray(16, 'x')).toBase64()),
        QString::fromLatin1(bomb.toBase64()),
    };
    for (const QString& b : bad)
        EXPECT_TRUE(unpackText(b).isEmpty()) << qPrintable(b.left(40));
}
