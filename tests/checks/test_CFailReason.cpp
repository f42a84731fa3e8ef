// Failure texts of the helper objects: the caller's fixed buffer, inner storage that grows, and
// a frozen reason that clean-up cannot overwrite.

#include "CFailReason.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(FailReason, TextsFitTheirBuffer)
{
    const std::string longText(3000, 'r');
    struct Case {
        unsigned callerSize;  // 0: inner storage
        std::string text;
        std::string kept;
    } cases[] = {
        {1024, "short", "short"},
        {1024, longText, longText.substr(0, 1022)},
        {8, "exactly", "exactly"},
        {8, "too long", "too lo"},
        {0, "x", "x"},
        {0, longText, longText},  // inner storage grows
        {8, "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9", "\xc3\xa9\xc3\xa9\xc3\xa9"},  // no half character
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text.substr(0, 20));
        char buffer[1024];
        std::memset(buffer, 'z', sizeof buffer);
        CFailReason reason(k.callerSize ? buffer : nullptr, k.callerSize);
        if (k.callerSize) {
            EXPECT_EQ(buffer[0], '\0');  // cleared at once
        }
        EXPECT_FALSE(reason.hasText());
        EXPECT_EQ(reason.setReason("%s", k.text.c_str()), 0);
        EXPECT_EQ(std::string(reason.text()), k.kept);
        EXPECT_TRUE(reason.hasText());
        if (k.callerSize) {
            EXPECT_EQ(reason.text(), static_cast<const char*>(buffer));
        }
    }
}

TEST(FailReason, FrozenReasonKeepsTheFirstFailure)
{
    char buffer[64];
    CFailReason reason(buffer, sizeof buffer);
    reason.setReason("Server returned %d after connecting (expected 220).", 554);
    reason.freeze(true);
    reason.setReason("Failed to send the QUIT command: %s.", "not connected");
    EXPECT_STREQ(buffer, "Server returned 554 after connecting (expected 220).");
    reason.freeze(false);
    reason.setReason("next");
    EXPECT_STREQ(buffer, "next");
    reason.reset(nullptr, 0);
    EXPECT_STREQ(reason.text(), "");
    EXPECT_STREQ(buffer, "next");  // the old buffer is left alone
}
