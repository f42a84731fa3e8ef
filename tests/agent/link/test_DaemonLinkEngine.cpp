// The daemon's link engine turns a poll task's result into the link's poll outcome: the
// library's value block must land field by field where the poll response expects it.
#include "engine/stZamMonitor.h"
#include "link/CDaemonLinkEngine.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(DaemonLinkEngine, PollResultBecomesOutcomeFieldByField)
{
    stZamMonitor m;
    m.clearOutcomeBlock();
    m.perfValue = 0x0102030405060708LL;
    for (int i = 0; i < 80; ++i)
        m.typeResults[i] = static_cast<unsigned char>(i + 1);
    m.resultCode = 2;
    m.resultValue = 1234;
    m.resultExtra = -5;
    m.resultExtra2 = 6;
    m.validationFailed[0] = 1;
    m.validationFailed[1] = 7;
    std::memset(m.typeSpecific, 0x55, sizeof(m.typeSpecific));

    SPollResult r;
    r.state = SPollResult::Polled;
    r.pollReturn = 1;
    r.pollFlags = 3;
    r.mode = 2;
    r.outcome = m.outcomeBlock();
    r.resultSections = "sections";
    r.failReason = "why";
    r.hostName = "host";
    r.hostAddress = "127.0.0.1";

    const SPollOutcome o = CDaemonLinkEngine::toOutcome(r);
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.printTimeoutReason, 3);
    EXPECT_EQ(o.inDiscovery, 2);
    EXPECT_EQ(o.perfValue, 0x0102030405060708LL);
    ASSERT_EQ(o.middle.size(), SPollOutcome::MiddleSize);
    for (int i = 0; i < 80; ++i)
        EXPECT_EQ(static_cast<unsigned char>(o.middle[i]), i + 1) << i;
    EXPECT_EQ(o.resultCode, 2);
    EXPECT_EQ(o.measuredValue, 1234);
    EXPECT_EQ(o.words[0], -5);
    EXPECT_EQ(o.words[1], 6);
    EXPECT_EQ(o.words[2], 1);
    EXPECT_EQ(o.words[3], 7);
    EXPECT_EQ(o.resultSections, QByteArray("sections"));
    EXPECT_EQ(o.failReason, QByteArray("why"));
    EXPECT_EQ(o.hostName, QByteArray("host"));
    EXPECT_EQ(o.hostAddress, QByteArray("127.0.0.1"));

    // A short block (never made by the engine, but not trusted either) reads as zeros.
    r.outcome = QByteArray(4, '\x7f');
    const SPollOutcome shortOne = CDaemonLinkEngine::toOutcome(r);
    EXPECT_EQ(shortOne.perfValue, 0);
    EXPECT_EQ(shortOne.middle, QByteArray(SPollOutcome::MiddleSize, '\0'));
    EXPECT_EQ(shortOne.resultCode, 0);
}

} // namespace
