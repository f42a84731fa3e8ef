// Column walks of the SNMP worker against the test snmpd's fixture subtree.

#include "support/NetSnmpForTests.h"
#include "Snmp/CSnmpMonitorJob.h"
#include "Snmp/CSnmpWorker.h"
#include "support/PluginTestHost.h"
#include "support/TestServers.h"
#include "zam_core_context.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

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
    ASSERT_EQ(worker.open(&ctx, watcher), 0) << rec.mon.failReason;
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
        ASSERT_EQ(worker.open(&ctx, watcher), 0) << rec.mon.failReason;
        QStringList values;
        EXPECT_EQ(worker.walkColumn(QString::fromStdString(c.column), values), 1) << c.name;
        EXPECT_EQ(std::string(rec.mon.failReason).rfind(c.reason, 0), 0u) << c.name << ": " << rec.mon.failReason;
    }
}

}  // namespace
