// An SNMP poll whose host-name lookup hangs (the resolver at 127.0.0.1 holds its query) holds up
// only itself: polls of 127.0.0.1 on another thread finish meanwhile, and once the resolver
// answers, the held poll reads the agent as well. Runs in private namespaces: the resolver and
// the scripted agent are the test's own.

#include "support/DnsReplyBuilder.h"
#include "support/NetSnmpForTests.h"
#include "support/PluginTestHost.h"
#include "support/PrivateNameFiles.h"
#include "support/SnmpTestAgent.h"

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr unsigned kSnmpCustom = 13;
const char* const kSlowName = "slow-agent.zt.test";
const char* const kValueOid = ".1.3.6.1.4.1.99999.5.0";

// The name server at 127.0.0.1:53: takes queries and answers them only when told to.
class HeldResolver
{
public:
    struct Query {
        std::string bytes;
        sockaddr_in from{};
    };

    HeldResolver()
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(53);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_ok = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~HeldResolver()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool ok() const { return m_ok; }

    // The next query, waiting at most `ms`.
    bool next(int ms, Query& query)
    {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, ms) != 1)
            return false;
        char buffer[1500];
        socklen_t length = sizeof query.from;
        const ssize_t n =
            ::recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&query.from), &length);
        if (n < 12)
            return false;
        query.bytes.assign(buffer, static_cast<size_t>(n));
        return true;
    }

    // A: 127.0.0.1; any other type: no records.
    void answer(const Query& query)
    {
        size_t end = 12;
        while (end < query.bytes.size() && query.bytes[end] != 0)
            end += static_cast<unsigned char>(query.bytes[end]) + 1;
        const bool typeA = end + 2 < query.bytes.size() && query.bytes[end + 1] == 0 && query.bytes[end + 2] == 1;
        DnsReplyBuilder reply(query.bytes);
        if (typeA)
            reply.a("127.0.0.1");
        ::sendto(m_fd, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&query.from),
                 sizeof query.from);
    }

private:
    int m_fd = -1;
    bool m_ok = false;
};

class SnmpSlowLookup : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(names.isValid());
        ASSERT_TRUE(resolver.ok()) << "cannot bind 127.0.0.1:53";
        // The slow name is in no hosts file: its lookup goes to the resolver. The resolver's own
        // time-out only bounds a failing run.
        const QString error =
            privatenames::install(names.path(), "127.0.0.1 localhost\n", "files dns", "timeout:15 attempts:1");
        ASSERT_TRUE(error.isEmpty()) << qPrintable(error);
        initNetSnmpForTests();
        ASSERT_TRUE(agent.ok());
        ASSERT_TRUE(host.load()) << host.error().toStdString();
    }

    void prepare(PluginTestRecord& r, const char* name, const char* address)
    {
        r.mon.typeIndex = kSnmpCustom;
        r.mon.timeout = 60000;  // the held lookup counts against it
        r.mon.logEnabled = 1;
        r.setHost(name, address, *name != 0);
        r.addSetting("Preset", nullptr, 0, 'e');
        r.addSetting("OID (SNMP variable to monitor)", kValueOid, 0, 's');
        r.addSetting("Counter Type", nullptr, 0, 'e');
        r.addSetting(" Divide returned value by", "1.0", 0, 's');
        r.addSetting("Port", nullptr, agent.port(), 'i');
        r.addSetting("SNMP Version", nullptr, 1, 'e');
        r.addSetting(" Community String", "public", 0, 's');
    }

    QTemporaryDir names;
    HeldResolver resolver;
    SnmpTestAgent agent{SnmpTestAgent::table({{SnmpTestAgent::oid(kValueOid), 42}})};
    PluginTestHost host;
};

TEST_F(SnmpSlowLookup, HeldLookupLeavesOtherThreadsPollsAlone)
{
    std::atomic<bool> slowDone{false};
    int slowResult = -1;
    int64_t slowValue = 0;
    std::string slowReason;
    std::thread slow([&] {
        PluginTestRecord r;
        prepare(r, kSlowName, "");
        slowResult = host.poll(r);
        slowValue = r.mon.perfValue;
        slowReason = r.mon.failReason;
        host.api().invalidate_monitor_cache(host.ctx(), host.tctx(), &r.mon, 2);
        slowDone = true;
    });

    // The slow poll is inside its lookup once the resolver holds its first query.
    HeldResolver::Query first;
    const bool held = resolver.next(30000, first);
    EXPECT_TRUE(held) << "the lookup of " << kSlowName << " never reached the resolver";
    if (held) {
        for (int i = 0; i < 5; ++i) {
            PluginTestRecord r;
            prepare(r, "", "127.0.0.1");
            EXPECT_EQ(host.poll(r), 0) << i << ": " << r.mon.failReason;
            EXPECT_EQ(r.mon.perfValue, 42) << i;
            host.api().invalidate_monitor_cache(host.ctx(), host.tctx(), &r.mon, 2);
        }
        EXPECT_FALSE(slowDone.load()) << "the polls of 127.0.0.1 waited for the held lookup";
        EXPECT_EQ(agent.answered(), 5);
        resolver.answer(first);
    }
    // Let the lookup through: answer this and every further query until the slow poll ends.
    QDeadlineTimer deadline(60000);
    HeldResolver::Query query;
    while (!slowDone && !deadline.hasExpired()) {
        if (resolver.next(100, query))
            resolver.answer(query);
    }
    slow.join();
    EXPECT_EQ(slowResult, 0) << slowReason;
    EXPECT_EQ(slowValue, 42);
    EXPECT_EQ(agent.answered(), 6);
}

}  // namespace
