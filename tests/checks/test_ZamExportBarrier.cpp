// The barrier at every export: an exception of a check becomes a failed result with its reason.

#include "support/PluginTestHost.h"
#include "ZamExportBarrier.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class ExportBarrier : public ::testing::Test
{
protected:
    void SetUp() override { zam_plugin_register_log_cb(&PluginTestHost::logSink); }
    void TearDown() override { zam_plugin_register_log_cb(nullptr); }

    PluginTestHost host{QString()};
};

TEST_F(ExportBarrier, ThrowingCallFailsTheMonitorWithTheExceptionsText)
{
    struct Case {
        const char* name;
        void (*raise)();
        const char* reason;
    };
    const Case cases[] = {
        {"standard exception", [] { throw std::runtime_error("socket table full"); }, "socket table full"},
        {"bad allocation", [] { throw std::bad_alloc(); }, "std::bad_alloc"},
        {"anything else", [] { throw 42; }, "unknown exception"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PluginTestRecord rec;
        rec.mon.resultCode = 7;
        const int rc = zamExportBarrier("zam_plugin_poll", &rec.mon, int(ZAM_FAILED), [&] {
            c.raise();
            return int(ZAM_OK);
        });
        EXPECT_EQ(rc, ZAM_FAILED);
        EXPECT_EQ(rec.mon.resultCode, ZAM_RESULT_CODE_NONE);
        EXPECT_STREQ(rec.mon.failReason, c.reason);
        ASSERT_FALSE(host.logLines().isEmpty());
        EXPECT_EQ(host.logLines().last().first, ZAM_LOG_ERROR);
        EXPECT_TRUE(host.logLines().last().second.contains(QLatin1String("zam_plugin_poll")));
    }
}

TEST_F(ExportBarrier, CallsWithoutAMonitorAnswerTheirFailureValue)
{
    EXPECT_EQ(zamExportBarrier("zam_plugin_init", nullptr, int(ZAM_FAILED), []() -> int { throw 1; }), ZAM_FAILED);
    bool ran = false;
    zamExportBarrierVoid("zam_plugin_exec_monitor_by_event", nullptr, [&] {
        ran = true;
        throw std::logic_error("no handler state");
    });
    EXPECT_TRUE(ran);
    EXPECT_EQ(zamExportBarrier("zam_plugin_get_count", nullptr, int(ZAM_FAILED), [] { return int(ZAM_OK); }), ZAM_OK);
}

} // namespace
