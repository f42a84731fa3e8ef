// Column walks of the SNMP worker against the test snmpd's fixture subtree, and against a
// scripted agent whose answers do not advance.

#include "support/NetSnmpForTests.h"
#include "Snmp/CSnmpMonitorJob.h"
#include "Snmp/CSnmpWorker.h"
#include "support/PluginTestHost.h"
#include "support/SnmpTestAgent.h"
#include "support/TestServers.h"
#include "zam_core_context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

int stopNow(void*)
{
    return 1;
}

class SnmpWorkerWalk : public ::testing::Test
{
protected:
    void SetUp() override
    {
        initNetSnmpForTests();
        zam_plugin_register_log_cb(&PluginTestHost::logSink);
        std::memset(&ctx, 0, sizeof ctx);
        ctx.active = 1;
        ctx.snmpMutex = &mutex;
        rec.setHost("", testservers::kHost, false);
        rec.mon.timeout = 3000;
        job.version = 2;
        job.port = testservers::kSnmpPort;
        job.community = testservers::kSnmpCommunity;
    }

    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    stCoreZamContext ctx;
    PluginTestRecord rec;
    CSnmpMonitorJob job{&rec.mon};
};

TEST_F(SnmpWorkerWalk, EndsAtTheColumnsEnd)
{
    ZAM_REQUIRE_TEST_SERVERS();
    CSnmpWorker worker(&job);
    CTimeWatcher watcher(rec.mon.timeout);
    ASSERT_EQ(snmpTryInitSession(&ctx, worker, watcher), 0) << rec.mon.failReason;
    QStringList values;
    ASSERT_EQ(worker.walkColumn(QString::fromLatin1(testservers::kSnmpFixtureOid) + ".1", values), 0)
        << rec.mon.failReason;
    EXPECT_EQ(values.size(), 7) << values.join('|').toStdString();
    EXPECT_EQ(values.value(0), QStringLiteral("4294967295"));
    EXPECT_EQ(values.value(1), QStringLiteral("50"));
    EXPECT_EQ(values.value(6), QStringLiteral("plain text"));
}

TEST_F(SnmpWorkerWalk, RefusedColumnsAndStopRequests)
{
    ZAM_REQUIRE_TEST_SERVERS();
    const std::string fixture = testservers::kSnmpFixtureOid;
    struct Case {
        const char* name;
        std::string column;
        bool stop;
        const char* reason;
    } cases[] = {
        {"no leading dot", fixture.substr(1) + ".1", false, "Cannot parse OID"},
        {"Counter64 column", fixture + ".2", false, "Unexpected variable type"},
        {"stop request", fixture + ".1", true, "SNMP operation aborted"},
    };
    for (const Case& c : cases) {
        rec.mon.stillAlive = c.stop ? &stopNow : nullptr;
        CSnmpWorker worker(&job);
        CTimeWatcher watcher(rec.mon.timeout);
        ASSERT_EQ(snmpTryInitSession(&ctx, worker, watcher), 0) << rec.mon.failReason;
        QStringList values;
        EXPECT_EQ(worker.walkColumn(QString::fromStdString(c.column), values), 1) << c.name;
        EXPECT_EQ(std::string(rec.mon.failReason).rfind(c.reason, 0), 0u) << c.name << ": " << rec.mon.failReason;
    }
}

TEST_F(SnmpWorkerWalk, AgentWhoseOidsDoNotIncreaseEndsTheWalk)
{
    const SnmpTestAgent::Oid column = SnmpTestAgent::oid(".1.3.6.1.4.1.99999.9");
    const auto row = [&](uint32_t index) {
        SnmpTestAgent::Oid o = column;
        o.push_back(index);
        return o;
    };
    const struct {
        const char* name;
        std::vector<uint32_t> rows;  // the rows answered in turn, the last one for ever
        int valuesBefore;
    } cases[] = {
        {"repeated", {1}, 1},
        {"decreasing", {5, 3}, 1},
        {"repeated after advancing", {1, 2, 2}, 2},
    };
    for (const auto& c : cases) {
        int asked = 0;
        SnmpTestAgent agent([&](unsigned char, const SnmpTestAgent::Oid&) {
            SnmpTestAgent::Answer a;
            a.oid = row(c.rows[std::min<size_t>(asked++, c.rows.size() - 1)]);
            a.integer = 7;
            return a;
        });
        ASSERT_TRUE(agent.ok());
        job.port = agent.port();
        CSnmpWorker worker(&job);
        CTimeWatcher watcher(rec.mon.timeout);
        ASSERT_EQ(snmpTryInitSession(&ctx, worker, watcher), 0) << rec.mon.failReason;
        QStringList values;
        EXPECT_EQ(worker.walkColumn(QStringLiteral(".1.3.6.1.4.1.99999.9"), values), 1) << c.name;
        EXPECT_STREQ(rec.mon.failReason, "SNMP agent returned OIDs out of order") << c.name;
        EXPECT_EQ(values.size(), c.valuesBefore) << c.name;
        EXPECT_EQ(agent.answered(), c.valuesBefore + 1) << c.name;
    }
}

// The row cap (lowered here: the documented 100000 rows take too long to serve): a column of
// exactly the cap's rows is whole; one row more ends the walk with its text, the cap's rows read.
TEST_F(SnmpWorkerWalk, RowCapEndsALongerColumn)
{
    EXPECT_EQ(CSnmpWorker(&job).maxWalkRows(), 100000);
    const int cap = 200;
    const SnmpTestAgent::Oid column = SnmpTestAgent::oid(".1.3.6.1.4.1.99999.7");
    const struct {
        const char* name;
        uint32_t rows;
        int result;
        const char* reason;
        int answered;  // GETNEXT requests answered
    } cases[] = {
        {"exactly the cap", static_cast<uint32_t>(cap), 0, "", cap + 1},
        {"one row more", static_cast<uint32_t>(cap) + 1, 1, "SNMP walk exceeds its row limit", cap + 1},
    };
    for (const auto& c : cases) {
        // Rows 1..c.rows of the column, computed rather than stored.
        SnmpTestAgent agent([&](unsigned char, const SnmpTestAgent::Oid& asked) {
            SnmpTestAgent::Answer a;
            uint32_t next = 1;
            if (asked.size() == column.size() + 1 && std::equal(column.begin(), column.end(), asked.begin()))
                next = asked.back() + 1;
            a.oid = column;
            a.oid.push_back(next);
            a.integer = next;
            if (next > c.rows) {
                a.oid = asked;
                a.type = 0x82;  // endOfMibView
            }
            return a;
        });
        ASSERT_TRUE(agent.ok());
        job.port = agent.port();
        rec.mon.timeout = 0;  // no limit: only the rows matter here
        CSnmpWorker worker(&job);
        worker.setMaxWalkRows(cap);
        CTimeWatcher watcher(-1);
        ASSERT_EQ(snmpTryInitSession(&ctx, worker, watcher), 0) << rec.mon.failReason;
        rec.mon.failReason[0] = 0;
        QStringList values;
        EXPECT_EQ(worker.walkColumn(QStringLiteral(".1.3.6.1.4.1.99999.7"), values), c.result)
            << c.name << ": " << rec.mon.failReason;
        EXPECT_STREQ(rec.mon.failReason, c.reason) << c.name;
        ASSERT_EQ(values.size(), cap) << c.name;
        EXPECT_EQ(values.last(), QString::number(cap)) << c.name;
        EXPECT_EQ(agent.answered(), c.answered) << c.name;
    }
}

// A table read through walkTable: the index column's "0" row is dropped, a row missing from a
// later column reads as an empty text, and ten thousand rows come through whole.
TEST_F(SnmpWorkerWalk, TableWithIndexZeroGapsAndTenThousandRows)
{
    const std::string table = ".1.3.6.1.4.1.99999.8";
    std::map<SnmpTestAgent::Oid, int64_t> values;
    for (int64_t i = 0; i <= 10000; ++i) {
        values[SnmpTestAgent::oid(table + ".1.1." + std::to_string(i))] = i;
        if (i != 17)
            values[SnmpTestAgent::oid(table + ".1.2." + std::to_string(i))] = 1000 + i;
    }
    SnmpTestAgent agent(SnmpTestAgent::table(values));
    ASSERT_TRUE(agent.ok());
    job.port = agent.port();
    job.community = "table-test";
    rec.mon.timeout = 0;  // no limit: only the rows matter here
    CSnmpWorker worker(&job);
    CTimeWatcher watcher(-1);
    ASSERT_EQ(snmpTryInitSession(&ctx, worker, watcher), 0) << rec.mon.failReason;
    QList<QStringList> rows;
    unsigned stamp = 0;
    ASSERT_EQ(worker.walkTable(QString::fromStdString(table), {QStringLiteral(".1.1"), QStringLiteral(".1.2")}, rows,
                               stamp),
              0)
        << rec.mon.failReason;
    ASSERT_EQ(rows.size(), 2);
    ASSERT_EQ(rows[0].size(), 10000);
    ASSERT_EQ(rows[1].size(), 10000);
    EXPECT_EQ(rows[0].first(), QStringLiteral("1"));
    EXPECT_EQ(rows[0].last(), QStringLiteral("10000"));
    EXPECT_EQ(rows[1].at(15), QStringLiteral("1016"));
    EXPECT_EQ(rows[1].at(16), QString());  // row 17 has no second column
    EXPECT_EQ(rows[1].last(), QStringLiteral("11000"));
}

}  // namespace
