#include "common/TestTimeScale.h"

#include <gtest/gtest.h>

// The scale is read once per process; this test runs in a process started without it.
TEST(TestTimeScale, UnsetKeepsSpecifiedValues)
{
    ASSERT_EQ(nullptr, std::getenv("NETAGENTD_TEST_TIME_SCALE"));
    EXPECT_EQ(1.0, zam::testTimeScale());
    for (int ms : {1, 500, 1000, 27000, 60000, 300000})
        EXPECT_EQ(ms, zam::scaledMs(ms));
}
