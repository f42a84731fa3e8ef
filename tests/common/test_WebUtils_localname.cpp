// Own process: the local host name cache starts empty here.
#include "common/WebUtils.h"

#include <gtest/gtest.h>

#include <QSemaphore>
#include <QThread>

#include <atomic>

using namespace WebUtils;

namespace {

QSemaphore g_entered;
QSemaphore g_release;
std::atomic<bool> g_block{false};
std::atomic<int> g_calls{0};

bool blockingLookup(quint32 ipv4, QByteArray* officialName, QList<QByteArray>*)
{
    ++g_calls;
    if (g_block) {
        g_entered.release();
        g_release.acquire();
    }
    *officialName = "resolved-" + QByteArray::number(ipv4 & 0xff);
    return true;
}

// The clock lookups are timed with; a slow lookup moves it on instead of waiting.
std::atomic<qint64> g_handMs{5000000};
qint64 handClock()
{
    return g_handMs.load();
}

bool slowLookup(quint32, QByteArray* officialName, QList<QByteArray>*)
{
    g_handMs += 1100;
    *officialName = "slow.example";
    return true;
}

bool fastLookup(quint32, QByteArray* officialName, QList<QByteArray>* aliases)
{
    *officialName = "fast.example";
    aliases->append("xn--bcher-kva.de");
    return true;
}

bool failingLookup(quint32, QByteArray*, QList<QByteArray>*)
{
    return false;
}

bool isSlow(const QString& address)
{
    QMutexLocker lock(&g_webUtilsMutex);
    return g_timedOutAddresses.contains(address);
}

} // namespace

TEST(LocalHostName, ReverseLookupsDoNotHoldTheSharedLock)
{
    const QString self = getLocalhostName(false);
    if (getAllAddrsByHostname(self).isEmpty())
        GTEST_SKIP() << "the host name does not resolve here";
    const quint32 first = getFirstAddrByHostname(self).toIPv4Address();

    setReverseLookup(&blockingLookup);
    g_block = true;
    QString result;
    QThread* t = QThread::create([&result] { result = getLocalhostName(true); });
    t->start();
    ASSERT_TRUE(g_entered.tryAcquire(1, 60000));
    // While a reverse lookup of the local name hangs, the shared lock is free and the other
    // lookups answer.
    ASSERT_TRUE(g_webUtilsMutex.tryLock(10000));
    g_webUtilsMutex.unlock();
    EXPECT_EQ(QStringLiteral("127.0.0.1"), getIpByHostname(QStringLiteral("localhost"), QString()));
    EXPECT_FALSE(getLocalAddresses().isEmpty());
    EXPECT_EQ(self, getLocalhostName(false));
    g_block = false;
    g_release.release(1000);
    ASSERT_TRUE(t->wait(60000));
    delete t;
    EXPECT_EQ(QStringLiteral("resolved-%1").arg(first & 0xff), result);

    // The addresses did not change: the answer comes from the cache, without lookups.
    const int calls = g_calls;
    EXPECT_EQ(result, getLocalhostName(true));
    EXPECT_EQ(calls, g_calls.load());
    setReverseLookup(nullptr);
}

TEST(LocalHostName, SlowReverseLookupMarksTheAddressAndAFastOneClearsIt)
{
    const QString a = QStringLiteral("192.0.2.7");
    setLookupClock(&handClock);
    setReverseLookup(&slowLookup);
    EXPECT_EQ(QStringLiteral("slow.example"), getHostnameByIp(a, QString()));
    EXPECT_TRUE(isSlow(a));
    setReverseLookup(&fastLookup);
    EXPECT_EQ(QStringLiteral("fast.example"), getHostnameByIp(a, QString()));
    EXPECT_FALSE(isSlow(a));
    setReverseLookup(nullptr);
    setLookupClock(nullptr);
}

TEST(LocalHostName, ReverseLookupAnswerPrefersTheGivenAlias)
{
    struct Case { ReverseLookupFn lookup; QString preferred; QString name; };
    const Case cases[] = {
        {&fastLookup, QString(), QStringLiteral("fast.example")},
        {&fastLookup, QStringLiteral("b\u00fccher.de"), QStringLiteral("b\u00fccher.de")},
        {&fastLookup, QStringLiteral("other.example"), QStringLiteral("fast.example")},
        {&failingLookup, QString(), QString()},
    };
    for (const Case& c : cases) {
        setReverseLookup(c.lookup);
        EXPECT_EQ(c.name, getHostnameByIp(QStringLiteral("192.0.2.8"), c.preferred)) << qPrintable(c.preferred);
    }
    setReverseLookup(nullptr);
}
