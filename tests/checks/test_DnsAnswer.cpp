// Reading DNS replies: the values of each record type, their order and de-duplication, and
// replies that are cut short, claim more than they hold or loop through compression pointers.
// Each reply is copied into a buffer of its exact size, so a read past it is seen by the
// sanitizers.

#include "DnsAnswer.h"
#include "support/DnsReplyBuilder.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

DnsAnswer parseExact(const std::string& bytes, int wanted, int second = -1)
{
    std::unique_ptr<unsigned char[]> copy(new unsigned char[bytes.size() ? bytes.size() : 1]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    return parseDnsAnswer(copy.get(), bytes.size(), wanted, second);
}

using Values = std::vector<std::string>;

} // namespace

TEST(DnsAnswer, ValuesOfEachRecordType)
{
    struct Case {
        const char* what;
        std::string reply;
        int wanted, second;
        Values values;
    } cases[] = {
        {"A sorted, AAAA beside it",
         DnsReplyBuilder("pair.test", 1).a("10.0.0.2").a("10.0.0.1").aaaa("::1").bytes(), 1, 28,
         {"10.0.0.1", "10.0.0.2", "::1"}},
        {"AAAA not wanted", DnsReplyBuilder("x.test", 1).a("10.0.0.1").aaaa("fe80::2").bytes(), 1, -1, {"10.0.0.1"}},
        {"MX twice, one value",
         DnsReplyBuilder("zone.test", 15).mx(20, "mx2.test").mx(10, "mx1.test").mx(30, "mx2.test").bytes(), 15, -1,
         {"mx1.test", "mx2.test"}},
        {"SOA serial unsigned", DnsReplyBuilder("zone.test", 6).soa(4000000000u).bytes(), 6, -1, {"4000000000"}},
        {"SOA not wanted", DnsReplyBuilder("zone.test", 1).soa(7).a("10.0.0.1").bytes(), 1, -1, {"10.0.0.1"}},
        {"root NS", DnsReplyBuilder("", 2).name(2, "b.root.test").name(2, "a.root.test").bytes(), 2, -1,
         {"a.root.test", "b.root.test"}},
        {"CNAME before A", DnsReplyBuilder("alias.test", 1).name(5, "www.test").a("10.0.0.9").bytes(), 1, 28, {"10.0.0.9"}},
        {"TXT and unknown skipped",
         DnsReplyBuilder("x.test", 1).record(16, "\x03txt").record(99, "zz").a("10.0.0.3").bytes(), 1, -1, {"10.0.0.3"}},
        {"escaped label bytes", DnsReplyBuilder("z.test", 15).mx(1, std::string("a.b\x01", 4)).bytes(), 15, -1,
         {"a.b\\001"}},
    };
    for (const Case& c : cases) {
        const DnsAnswer answer = parseExact(c.reply, c.wanted, c.second);
        EXPECT_EQ(answer.values, c.values) << c.what;
    }
    const DnsAnswer unknown = parseExact(DnsReplyBuilder("x.test", 1).record(99, "zz").bytes(), 1);
    EXPECT_EQ(unknown.notes, Values{"unknown RR: cannot parse"});
}

TEST(DnsAnswer, BrokenRepliesKeepWhatCameBeforeAndNeverReadPastTheEnd)
{
    const std::string good = DnsReplyBuilder("x.test", 1).a("10.0.0.1").a("10.0.0.2").bytes();
    const std::string longName = std::string(60, 'a') + "." + std::string(60, 'b') + "." + std::string(60, 'c') + "."
                                 + std::string(60, 'd') + "." + std::string(60, 'e');
    const std::string soaWithoutNumbers = DnsReplyBuilder::encodeName("a") + DnsReplyBuilder::encodeName("b") + "1234";
    struct Case {
        const char* what;
        std::string reply;
        int wanted;
        Values values;
    } cases[] = {
        {"empty", std::string(), 1, {}},
        {"header cut", good.substr(0, 11), 1, {}},
        {"question cut", good.substr(0, 16), 1, {}},
        {"second record cut in its data", good.substr(0, good.size() - 2), 1, {"10.0.0.1"}},
        {"second record cut in its fixed part", good.substr(0, good.size() - 9), 1, {"10.0.0.1"}},
        {"more answers claimed than present", DnsReplyBuilder("x.test", 1).a("10.0.0.1").answerCount(500).bytes(), 1,
         {"10.0.0.1"}},
        {"A of five bytes", DnsReplyBuilder("x.test", 1).a("10.0.0.1").record(1, "12345").a("10.0.0.3").bytes(), 1,
         {"10.0.0.1"}},
        {"AAAA of four bytes", DnsReplyBuilder("x.test", 1).record(28, "1234").bytes(), 28, {}},
        {"MX of one byte", DnsReplyBuilder("x.test", 15).record(15, "\x01").bytes(), 15, {}},
        {"name longer than its record", DnsReplyBuilder("x.test", 2).record(2, "\x05" "ab").bytes(), 2, {}},
        {"pointer to itself",
         DnsReplyBuilder("x.test", 1).a("10.0.0.1").record(1, "1234", std::string("\xc0\x28", 2)).bytes(), 1,
         {"10.0.0.1"}},
        {"pointer forwards", DnsReplyBuilder("x.test", 1).record(1, "1234", std::string("\xc0\x40", 2)).bytes(), 1, {}},
        {"pointer past the end", DnsReplyBuilder("x.test", 1).record(1, "1234", std::string("\xff\xff", 2)).bytes(), 1, {}},
        {"pointer cut in half", DnsReplyBuilder("x.test", 1).raw("\xc0").answerCount(1).bytes(), 1, {}},
        {"extended label type", DnsReplyBuilder("x.test", 1).record(1, "1234", std::string("\x41\x00", 2)).bytes(), 1, {}},
        {"name over 255 bytes", DnsReplyBuilder("x.test", 2).name(2, longName).bytes(), 2, {}},
        {"SOA without its numbers", DnsReplyBuilder("x.test", 6).record(6, soaWithoutNumbers).bytes(), 6, {}},
    };
    for (const Case& c : cases) {
        const DnsAnswer answer = parseExact(c.reply, c.wanted, 28);
        EXPECT_EQ(answer.values, c.values) << c.what;
    }
    EXPECT_EQ(parseExact("short", 1).notes, Values{"reply is too short"});
}

TEST(DnsAnswer, NamesFollowBackwardPointers)
{
    // "www" + pointer to the question name "zam.test".
    const std::string reply = DnsReplyBuilder("zam.test", 2).name(2, "zz").bytes();
    std::string name;
    size_t next = 0;
    ASSERT_TRUE(readDnsName(reinterpret_cast<const unsigned char*>(reply.data()), reply.size(), 12, &name, &next));
    EXPECT_EQ(name, "zam.test");
    EXPECT_EQ(next, 22u);
    const std::string compressed = reply + std::string("\x03www\xc0\x0c", 6);
    ASSERT_TRUE(readDnsName(reinterpret_cast<const unsigned char*>(compressed.data()), compressed.size(), reply.size(), &name, &next));
    EXPECT_EQ(name, "www.zam.test");
    EXPECT_EQ(next, compressed.size());
}
