#include "common/IpAddressList.h"
#include "support/CapturedMessages.h"

#include <QBuffer>
#include <QDataStream>
#include <QStringList>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

CIpAddressRange parsed(const QString& text)
{
    const Optional<CIpAddressRange> r = parseIpAddressRange(text);
    EXPECT_TRUE(r.hasValue()) << qPrintable(text);
    return r.rawValue();
}

QByteArray streamed(const CIpAddressRange& r)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(7);
    out << r;
    return bytes;
}

CIpAddressRange unstreamed(const QByteArray& bytes, QDataStream::Status* status = nullptr)
{
    QDataStream in(bytes);
    in.setVersion(7);
    CIpAddressRange r;
    in >> r;
    if (status)
        *status = in.status();
    return r;
}

std::atomic<int> g_lookups{0};
QHostAddress countingLookup(const QString& name)
{
    ++g_lookups;
    return lookupFirstIPv4(name);
}

// Restores the real lookup after a test that counts lookups.
struct CountingLookup
{
    CountingLookup()
    {
        g_lookups = 0;
        setIpAddressLookup(&countingLookup);
    }
    ~CountingLookup() { setIpAddressLookup(nullptr); }
};

} // namespace

TEST(IpAddressList, SplitsOnRunsOfSeparatorsAndSkipsEmptyItems)
{
    struct Case { QString text; QStringList items; };
    const std::vector<Case> cases = {
        {"a, b;;c\r\n\r\nd", {"a", "b", "c", "d"}},
        {"  10.0.0.1 ,\n, 10.0.0.2 ", {"  10.0.0.1", "10.0.0.2 "}},
        {"", {}},
        {" ;,\n ", {}},
        {"single", {"single"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitIpAddressList(c.text), c.items) << qPrintable(c.text);
}

TEST(IpAddressList, ParsesRangesMasksPrefixesAndSingleAddresses)
{
    struct Case { QString text; QString first; QString last; QString asText; quint64 count; };
    const std::vector<Case> cases = {
        {"10.0.0.1", "10.0.0.1", "10.0.0.1", "10.0.0.1", 1},
        {"10.0.0.1-10.0.0.9", "10.0.0.1", "10.0.0.9", "10.0.0.1-10.0.0.9", 9},
        {"10.0.0.9-10.0.0.1", "10.0.0.1", "10.0.0.9", "10.0.0.1-10.0.0.9", 9},
        {"  10.0.0.1 - 10.0.0.1  ", "10.0.0.1", "10.0.0.1", "10.0.0.1", 1},
        {"192.168.1.77/24", "192.168.1.0", "192.168.1.255", "192.168.1.0-192.168.1.255", 256},
        {"192.168.1.77 / 255.255.255.0", "192.168.1.0", "192.168.1.255", "192.168.1.0-192.168.1.255", 256},
        {"172.16.5.4/12", "172.16.0.0", "172.31.255.255", "172.16.0.0-172.31.255.255", 1u << 20},
        {"172.16.5.4/255.240.0.0", "172.16.0.0", "172.31.255.255", "172.16.0.0-172.31.255.255", 1u << 20},
        {"10.1.2.3/32", "10.1.2.3", "10.1.2.3", "10.1.2.3", 1},
        {"10.1.2.3/255.255.255.255", "10.1.2.3", "10.1.2.3", "10.1.2.3", 1},
        {"10.1.2.3/31", "10.1.2.2", "10.1.2.3", "10.1.2.2-10.1.2.3", 2},
        {"10.1.2.3/1", "0.0.0.0", "127.255.255.255", "0.0.0.0-127.255.255.255", 1u << 31},
        {"10.1.2.3/0", "0.0.0.0", "255.255.255.255", "0.0.0.0-255.255.255.255", quint64(1) << 32},
        {"10.1.2.3/0.0.0.0", "0.0.0.0", "255.255.255.255", "0.0.0.0-255.255.255.255", quint64(1) << 32},
        {"10.1.2.3/128.0.0.0", "0.0.0.0", "127.255.255.255", "0.0.0.0-127.255.255.255", 1u << 31},
        // Octets with leading zeros are decimal, never octal.
        {"010.0.0.1", "10.0.0.1", "10.0.0.1", "10.0.0.1", 1},
        {"192.168.001.009-192.168.001.010", "192.168.1.9", "192.168.1.10", "192.168.1.9-192.168.1.10", 2},
        {"10.0.0.0/0255.0255.0255.0", "10.0.0.0", "10.0.0.255", "10.0.0.0-10.0.0.255", 256},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(c.text));
        const CIpAddressRange r = parsed(c.text);
        ASSERT_TRUE(r.isRange());
        EXPECT_FALSE(r.isHostName());
        EXPECT_EQ(r.firstAddress(), QHostAddress(c.first));
        EXPECT_EQ(r.lastAddress(), QHostAddress(c.last));
        EXPECT_EQ(r.toString(), c.asText);
        EXPECT_EQ(r.addressCount(), c.count);
        // A single address carries itself as its resolved address; longer ranges carry none.
        const Optional<QHostAddress> cached = r.cachedAddress();
        if (c.first == c.last) {
            ASSERT_TRUE(cached.hasValue());
            EXPECT_EQ(cached.rawValue(), QHostAddress(c.first));
        } else {
            EXPECT_TRUE(cached.isUnset());
        }
    }
}

TEST(IpAddressList, RefusesBadAddressesAndMasksWithTheirTexts)
{
    struct Case { QString text; QString error; };
    const std::vector<Case> cases = {
        {"10.0.0.256", "bad IP addr 10.0.0.256"},
        {" 10.0.0.300 ", "bad IP addr 10.0.0.300"},
        {"10.0.0.1-10.0.0.999", "bad IP addr 10.0.0.999"},
        {"10.0.0.999-10.0.0.998", "bad IP addr 10.0.0.999"},
        {"999.0.0.1/24", "bad IP addr 999.0.0.1"},
        {"999.0.0.1/255.0.0.0", "bad IP addr 999.0.0.1"},
        {"10.0.0.1/33", "bad IP mask 33"},
        {"10.0.0.1 / 99999999999999999999999", "bad IP mask 99999999999999999999999"},
        {"10.0.0.1/255.0.255.0", "bad IP mask 255.0.255.0"},
        {"10.0.0.1/0.0.0.255", "bad IP mask 0.0.0.255"},
        {"10.0.0.1/255.255.255.256", "bad IP mask 255.255.255.256"},
        {"10.0.0.0400", "bad IP addr 10.0.0.0400"},
        {"10.0.0.99999999999", "bad IP addr 10.0.0.99999999999"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(c.text));
        CapturedMessages warnings;
        QString error;
        const Optional<CIpAddressRange> r = parseIpAddressRange(c.text, &error);
        EXPECT_TRUE(r.isUnset());
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(warnings.texts(QtWarningMsg), QStringList{c.error});
    }
}

TEST(IpAddressList, OtherTextsBecomeLowerCaseHostNames)
{
    struct Case { QString text; QString name; QString domain; };
    const std::vector<Case> cases = {
        {"Server1.Example.ORG", "server1.example.org", ".example.org"},
        {"10.0.0", "10.0.0", ".0.0"},
        {"server1", "server1", ""},
        {" Host ", " host ", ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(c.text));
        const CIpAddressRange r = parsed(c.text);
        EXPECT_TRUE(r.isHostName());
        EXPECT_FALSE(r.isRange());
        EXPECT_EQ(r.hostName(), c.name);
        EXPECT_EQ(r.toString(), c.name);
        EXPECT_EQ(r.domainName(), c.domain);
        EXPECT_EQ(r.addressCount(), 1u);
        EXPECT_TRUE(r.cachedAddress().isUnset());
    }
    EXPECT_EQ(parsed("10.0.0.0/8").domainName(), QString());
}

TEST(IpAddressList, RangesMatchEveryAddressInside)
{
    const CIpAddressRange net = parsed("10.0.0.0/24");
    struct Case { QString address; bool inside; };
    const std::vector<Case> cases = {
        {"10.0.0.0", true}, {"10.0.0.77", true}, {"10.0.0.255", true},
        {"10.0.1.0", false}, {"9.255.255.255", false}, {"::ffff:10.0.0.5", true}, {"::1", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(net.matchesAddress(QHostAddress(c.address)), c.inside) << qPrintable(c.address);

    const CIpAddressRange all = parsed("0.0.0.0/0");
    EXPECT_TRUE(all.matchesAddress(QHostAddress("0.0.0.0")));
    EXPECT_TRUE(all.matchesAddress(QHostAddress("255.255.255.255")));
    EXPECT_TRUE(parsed("10.0.0.7").matchesAddress(QHostAddress("10.0.0.7")));
    EXPECT_FALSE(parsed("10.0.0.7").matchesAddress(QHostAddress("10.0.0.8")));
    EXPECT_FALSE(CIpAddressRange().matchesAddress(QHostAddress("10.0.0.8")));
}

TEST(IpAddressList, HostNamesAreLookedUpOnceAndCached)
{
    CountingLookup counting;
    const CIpAddressRange local = parsed("LOCALHOST");
    for (int i = 0; i < 3; ++i) {
        const Optional<QHostAddress> a = local.resolvedAddress();
        ASSERT_TRUE(a.hasValue());
        EXPECT_EQ(a.rawValue(), QHostAddress(QHostAddress::LocalHost));
    }
    EXPECT_TRUE(local.matchesAddress(QHostAddress("127.0.0.1")));
    EXPECT_FALSE(local.matchesAddress(QHostAddress("127.0.0.2")));
    EXPECT_EQ(g_lookups.load(), 1);

    // A failed lookup is cached as a null address and never retried.
    const CIpAddressRange missing = parsed("no-such-host.invalid");
    for (int i = 0; i < 3; ++i) {
        const Optional<QHostAddress> a = missing.resolvedAddress();
        ASSERT_TRUE(a.hasValue());
        EXPECT_TRUE(a.rawValue().isNull());
    }
    EXPECT_FALSE(missing.matchesAddress(QHostAddress("127.0.0.1")));
    EXPECT_EQ(g_lookups.load(), 2);

    // Ranges never look anything up.
    EXPECT_TRUE(parsed("10.0.0.0/8").resolvedAddress().isUnset());
    EXPECT_EQ(g_lookups.load(), 2);
}

TEST(IpAddressList, SharedEntryIsLookedUpOnceAcrossThreads)
{
    CountingLookup counting;
    const CIpAddressRange shared = parsed("localhost");
    std::vector<std::thread> threads;
    std::atomic<int> matched{0};
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                if (shared.matchesAddress(QHostAddress("127.0.0.1")))
                    ++matched;
                CIpAddressRange copy = shared; // copies read the cache while others write it
                (void)copy.cachedAddress();
            }
        });
    for (std::thread& th : threads)
        th.join();
    EXPECT_EQ(matched.load(), 8 * 200);
    EXPECT_EQ(g_lookups.load(), 1);
}

TEST(IpAddressList, TakeFirstStepsThroughEveryAddressOnce)
{
    struct Case { QString text; QStringList taken; };
    const std::vector<Case> cases = {
        {"10.0.0.254-10.0.0.255", {"10.0.0.254", "10.0.0.255"}},
        {"10.0.0.254-10.0.1.1", {"10.0.0.254", "10.0.0.255", "10.0.1.0", "10.0.1.1"}},
        {"255.255.255.254/31", {"255.255.255.254", "255.255.255.255"}},
        {"10.0.0.5", {"10.0.0.5"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(c.text));
        CIpAddressRange r = parsed(c.text);
        QStringList taken;
        for (int guard = 0; r.isRange() && guard < 100; ++guard) {
            const CIpAddressRange one = r.takeFirst();
            EXPECT_EQ(one.addressCount(), 1u);
            EXPECT_EQ(one.cachedAddress().rawValue(), one.firstAddress());
            taken << one.toString();
        }
        EXPECT_EQ(taken, c.taken);
        EXPECT_FALSE(r.isRange());
        EXPECT_EQ(r.toString(), "bad range");
        EXPECT_EQ(r.addressCount(), 0u);
        EXPECT_EQ(r.takeFirst(), r); // an empty entry stays empty
    }

    CIpAddressRange host = CIpAddressRange::fromHostName("Box", Optional<QHostAddress>(QHostAddress("10.1.1.1")));
    const CIpAddressRange one = host.takeFirst();
    EXPECT_EQ(one.hostName(), "box");
    EXPECT_EQ(one.cachedAddress().rawValue(), QHostAddress("10.1.1.1"));
    EXPECT_FALSE(host.isHostName());
    EXPECT_TRUE(host.cachedAddress().isUnset());

    // A reversed range (not made by the parser) ends instead of running round the space.
    CIpAddressRange reversed = CIpAddressRange::fromRange(10u, 5u);
    EXPECT_EQ(reversed.addressCount(), 0u);
    EXPECT_EQ(reversed.takeFirst().firstIPv4(), 10u);
    EXPECT_FALSE(reversed.isRange());
}

TEST(IpAddressList, EqualityIgnoresCacheAndOrderingPutsRangesFirst)
{
    const CIpAddressRange a = CIpAddressRange::fromHostName("x", Optional<QHostAddress>());
    const CIpAddressRange b = CIpAddressRange::fromHostName("X", Optional<QHostAddress>(QHostAddress("1.2.3.4")));
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a != b);
    EXPECT_NE(parsed("10.0.0.1"), parsed("10.0.0.1-10.0.0.2"));
    EXPECT_NE(CIpAddressRange(), parsed("10.0.0.1"));
    EXPECT_EQ(CIpAddressRange(), CIpAddressRange());

    std::vector<CIpAddressRange> list;
    for (const char* t : {"zeta", "10.0.0.1-10.0.0.9", "alpha", "9.0.0.0/8", "10.0.0.1", "10.0.0.2"})
        list.push_back(parsed(t));
    std::sort(list.begin(), list.end());
    QStringList order;
    for (const CIpAddressRange& r : list)
        order << r.toString();
    EXPECT_EQ(order, (QStringList{"9.0.0.0-9.255.255.255", "10.0.0.1", "10.0.0.1-10.0.0.9", "10.0.0.2",
                                  "alpha", "zeta"}));
    EXPECT_FALSE(CIpAddressRange() < parsed("alpha"));
    EXPECT_FALSE(parsed("alpha") < CIpAddressRange());
    EXPECT_FALSE(parsed("alpha") < parsed("alpha"));
}

TEST(IpAddressList, StreamFormIsByteExact)
{
    struct Case { const char* name; CIpAddressRange entry; QByteArray bytes; };
    // bool set, bool null, value -- four times. Null QString is FFFFFFFF, a null address is
    // the protocol byte FF, an IPv4 address is protocol 00 and four bytes.
    const QByteArray unsetText = QByteArray::fromHex("0001ffffffff");
    const QByteArray unsetAddr = QByteArray::fromHex("0001ff");
    const std::vector<Case> cases = {
        {"empty", CIpAddressRange(), unsetText + unsetAddr + unsetAddr + unsetAddr},
        {"single", parsed("10.0.0.1"),
         unsetText + QByteArray::fromHex("0100000a000001") + QByteArray::fromHex("0100000a000001")
             + QByteArray::fromHex("0100000a000001")},
        {"range", parsed("10.0.0.9-10.0.0.1"),
         unsetText + QByteArray::fromHex("0100000a000001") + QByteArray::fromHex("01000" "00a000009") + unsetAddr},
        {"host", CIpAddressRange::fromHostName("Ab", Optional<QHostAddress>::null()),
         QByteArray::fromHex("010000000004006100" "62") + unsetAddr + unsetAddr + QByteArray::fromHex("0101ff")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = streamed(c.entry);
        EXPECT_EQ(bytes.toHex(), c.bytes.toHex());
        QDataStream::Status status;
        const CIpAddressRange back = unstreamed(bytes, &status);
        EXPECT_EQ(status, QDataStream::Ok);
        EXPECT_EQ(back, c.entry);
        EXPECT_EQ(back.cachedAddress(), c.entry.cachedAddress());
        EXPECT_EQ(streamed(back), bytes);
    }
}

TEST(IpAddressList, StreamWithNeitherBitReadsAsNeitherValueNorUnset)
{
    // Host-name field with (false, false): neither a host name nor unset, no warning on read.
    const QByteArray bytes = QByteArray::fromHex("000000000004006100" "62") + QByteArray::fromHex("0001ff0001ff0001ff");
    CapturedMessages warnings;
    const CIpAddressRange r = unstreamed(bytes);
    EXPECT_FALSE(r.isHostName());
    EXPECT_FALSE(r.isRange());
    EXPECT_EQ(r.hostName(), "ab");
    EXPECT_TRUE(warnings.texts(QtWarningMsg).isEmpty());
    EXPECT_NE(r, CIpAddressRange());
}

TEST(IpAddressList, TruncatedStreamsFailCleanly)
{
    const QByteArray full = streamed(parsed("10.0.0.1-10.0.0.9"));
    for (int n = 0; n < full.size(); ++n) {
        QDataStream::Status status;
        unstreamed(full.left(n), &status);
        EXPECT_NE(status, QDataStream::Ok) << n;
    }
}

TEST(IpAddressList, ReadingAbsentFieldsWarns)
{
    CapturedMessages warnings;
    const CIpAddressRange r = parsed("10.0.0.1");
    EXPECT_EQ(r.hostName(), QString());
    EXPECT_TRUE(CIpAddressRange().firstAddress().isNull());
    EXPECT_EQ(warnings.texts(QtWarningMsg), (QStringList{"attempt to get null value from Optional<>",
                                             "attempt to get null value from Optional<>"}));
}

TEST(IpAddressList, NamedEntries)
{
    const CIpAddressRange loop = CIpAddressRange::loopbackRange();
    EXPECT_EQ(loop.toString(), "127.0.0.1");
    EXPECT_EQ(loop.cachedAddress().rawValue(), QHostAddress("127.0.0.1"));

    const CIpAddressRange self = CIpAddressRange::localHost();
    EXPECT_TRUE(self.isHostName());
    EXPECT_TRUE(self.cachedAddress().hasValue());
    EXPECT_EQ(self.hostName(), self.hostName().toLower());

    EXPECT_TRUE(parsed("10.0.0.0/24").isNetworkOrBroadcast());
    EXPECT_TRUE(parsed("10.0.0.255").isNetworkOrBroadcast());
    EXPECT_FALSE(parsed("10.0.0.1-10.0.0.255").isNetworkOrBroadcast());
    EXPECT_FALSE(parsed("localhost").isNetworkOrBroadcast());
}

TEST(IpAddressList, LongListsParseWithoutTrouble)
{
    QStringList parts;
    for (int i = 0; i < 20000; ++i)
        parts << QStringLiteral("10.%1.%2.0/24").arg((i >> 8) & 255).arg(i & 255);
    parts << "10.0.0.256" << "" << "host-a";
    const QStringList items = splitIpAddressList(parts.join(";\n"));
    ASSERT_EQ(items.size(), 20002);
    int good = 0, bad = 0;
    for (const QString& item : items)
        (parseIpAddressRange(item).hasValue() ? good : bad)++;
    EXPECT_EQ(good, 20001);
    EXPECT_EQ(bad, 1);
}
