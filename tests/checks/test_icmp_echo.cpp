// Echo requests as sent and the judgement of received datagrams: only our own echo reply
// passes, never the request itself as a raw socket on loopback sees it.

#include "zam_icmp_echo.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <vector>

namespace {

const uint32_t kDestination = htonl(0x7f000001);
const uint16_t kId = 0x1234;
const uint16_t kSeq = 2;
const uint32_t kStamp = 987654;

// An IPv4 datagram (20-byte header) around an echo message of 8 + size bytes.
std::vector<unsigned char> datagram(int size, void (*edit)(unsigned char* icmp, int size) = nullptr)
{
    std::vector<unsigned char> d(20 + 8 + static_cast<size_t>(size));
    d[0] = 0x45;
    buildEchoRequest(d.data() + 20, size, kDestination, kId, kSeq, kStamp);
    // what the peer sends back: type 0, checksum mended
    d[20] = 0;
    d[22] = d[23] = 0;
    if (edit)
        edit(d.data() + 20, size);
    const uint16_t sum = in_cksum(reinterpret_cast<const uint16_t*>(d.data() + 20), 8 + size);
    std::memcpy(d.data() + 22, &sum, 2);
    return d;
}

} // namespace

TEST(IcmpEcho, RequestLayout)
{
    const int size = 34;  // packet size 33 rounded up
    std::vector<unsigned char> p(8 + size);
    buildEchoRequest(p.data(), size, kDestination, kId, kSeq, kStamp);
    EXPECT_EQ(p[0], 8);
    EXPECT_EQ(p[1], 0);
    EXPECT_EQ(in_cksum(reinterpret_cast<const uint16_t*>(p.data()), 8 + size), 0);  // sums to zero
    uint16_t id, seq;
    uint32_t stamp, word;
    std::memcpy(&id, &p[4], 2);
    std::memcpy(&seq, &p[6], 2);
    std::memcpy(&stamp, &p[8], 4);
    EXPECT_EQ(id, kId);
    EXPECT_EQ(seq, kSeq);
    EXPECT_EQ(stamp, kStamp);
    for (int off = 12; off + 4 <= 8 + size; off += 4) {
        std::memcpy(&word, &p[off], 4);
        EXPECT_EQ(word, kDestination) << off;
    }
    EXPECT_EQ(p[40], 0);  // the 2 bytes after the last whole word stay zero
    EXPECT_EQ(p[41], 0);
}

TEST(IcmpEcho, OnlyOurEchoReplyPasses)
{
    const int size = 32;
    std::vector<unsigned char> ownRequest(20 + 8 + size);
    ownRequest[0] = 0x45;
    buildEchoRequest(ownRequest.data() + 20, size, kDestination, kId, kSeq, kStamp);
    std::vector<unsigned char> badSum = datagram(size);
    badSum[30] ^= 0xff;
    std::vector<unsigned char> withOptions(24 + 8 + size);
    withOptions[0] = 0x46;
    {
        std::vector<unsigned char> d = datagram(size);
        std::memcpy(withOptions.data() + 24, d.data() + 20, 8 + size);
    }
    struct Case {
        const char* name;
        std::vector<unsigned char> bytes;
        QString why;
    } cases[] = {
        {"our reply", datagram(size), QString()},
        {"reply behind IP options", withOptions, QString()},
        {"our own request", ownRequest, QStringLiteral("not an echo reply: type 8, code 0")},
        {"code not 0", datagram(size, [](unsigned char* i, int) { i[1] = 1; }),
         QStringLiteral("not an echo reply: type 0, code 1")},
        {"bad checksum", badSum, QStringLiteral("wrong checksum")},
        {"foreign identifier", datagram(size, [](unsigned char* i, int) { i[4] ^= 1; }),
         QStringLiteral("wrong packet ID: expected 4660:2, received 4661:2")},
        {"other attempt", datagram(size, [](unsigned char* i, int) { i[6] = 1; }),
         QStringLiteral("wrong packet ID: expected 4660:2, received 4660:1")},
        {"other time stamp", datagram(size, [](unsigned char* i, int) { i[8] ^= 1; }),
         QStringLiteral("wrong time stamp: expected 987654, received 987655")},
        {"payload changed", datagram(size, [](unsigned char* i, int) { i[12] ^= 1; }),
         QStringLiteral("packet data does not match")},
        {"last word not checked", datagram(size, [](unsigned char* i, int s) { i[8 + s - 1] ^= 1; }), QString()},
        {"too short", std::vector<unsigned char>(20 + size - 1, 0x45), QStringLiteral("packet size is too small")},
        {"header length below 20", std::vector<unsigned char>(28 + size, 0x44), QStringLiteral("wrong header size: 16")},
        {"other size", datagram(size + 2), QStringLiteral("packet size does not match: 62")},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(checkEchoReply(k.bytes.data(), k.bytes.size(), size, kDestination, kId, kSeq, kStamp), k.why);
    }
}
