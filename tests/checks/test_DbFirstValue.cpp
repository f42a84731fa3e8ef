// The first value of a database result read as a 64-bit whole number.

#include "DbFirstValue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

TEST(DbFirstValue, LeadingWholeNumber)
{
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    struct Case {
        std::string text;
        bool hasDigits;
        int64_t value;
    };
    const Case cases[] = {
        {"3", true, 3},
        {"12.50", true, 12},
        {"3.9", true, 3},
        {"-0.5", true, 0},
        {"-1", true, -1},
        {"+7", true, 7},
        {" \t\n42 apples", true, 42},
        {"3000000000", true, 3000000000LL},
        {"9223372036854775807", true, kMax},
        {"9223372036854775808", true, kMax},
        {"-9223372036854775808", true, kMin},
        {"-9223372036854775809", true, kMin},
        {"123456789012345678901234567890", true, kMax},
        {"0001", true, 1},
        {"1e+20", true, 1},
        {"abc", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {" + 1", false, 0},
    };
    for (const Case& c : cases) {
        const DbFirstValue v = parseDbFirstValue(c.text.data(), c.text.size());
        EXPECT_EQ(v.hasDigits, c.hasDigits) << c.text;
        EXPECT_EQ(v.value, c.value) << c.text;
    }
}

TEST(DbFirstValue, ReadsOnlyTheGivenBytes)
{
    // no terminating NUL needed: the digits after the length are not read
    const char text[] = {'1', '2', '3', '4'};
    EXPECT_EQ(parseDbFirstValue(text, 2).value, 12);
    EXPECT_FALSE(parseDbFirstValue(text, 0).hasDigits);
    EXPECT_FALSE(parseDbFirstValue(nullptr, 5).hasDigits);
    const std::string withNul("5\0" "9", 3);
    EXPECT_EQ(parseDbFirstValue(withNul.data(), withNul.size()).value, 5);
}

}  // namespace
