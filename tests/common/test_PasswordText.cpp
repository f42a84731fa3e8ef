#include "common/AccessPassword.h"
#include "common/PasswordText.h"

#include <gtest/gtest.h>

TEST(PasswordText, EncodeAndDecode)
{
    struct Case { QString text; const char* stored; };
    const Case cases[] = {
        {QStringLiteral("abc"), "610062006300"},
        {QStringLiteral("$AdminPassword"), ":$AdminPassword"},
        {QStringLiteral("\u20ac:"), "ac203a00"},
        {QString(), ""},
    };
    for (const Case& c : cases) {
        QString stored;
        EXPECT_TRUE(encodePasswordText(c.text, &stored));
        EXPECT_EQ(QString::fromLatin1(c.stored), stored);
        QString back = QStringLiteral("junk");
        EXPECT_TRUE(decodePasswordText(stored, &back));
        EXPECT_EQ(c.text, back) << c.stored;
    }
}

TEST(PasswordText, DecodeOtherForms)
{
    struct Case { const char* stored; QString text; };
    const Case cases[] = {
        {":abc", QStringLiteral("abc")},
        {"plain", QStringLiteral("plain")},
        {"61006", QStringLiteral("61006")},          // odd number of digits: not hex pairs
        {"610062", QStringLiteral("a")},             // trailing odd byte ignored
        {"6100G200", QStringLiteral("6100G200")},
        {"ABCD", QString(QChar(0xCDAB))},            // upper-case digits are hex too
        {"::x", QStringLiteral(":x")},
    };
    for (const Case& c : cases) {
        QString text;
        EXPECT_TRUE(decodePasswordText(QString::fromLatin1(c.stored), &text));
        EXPECT_EQ(c.text, text) << c.stored;
    }
}

TEST(AccessPassword, CurrentPassword)
{
    EXPECT_TRUE(currentPassword().isNull());
    EXPECT_FALSE(setCurrentPassword(QStringLiteral("one")));   // the crypt context is never ready
    const auto held = currentPassword();
    ASSERT_FALSE(held.isNull());
    EXPECT_EQ(QStringLiteral("one"), held->text());
    EXPECT_TRUE(setCurrentPassword(QStringLiteral("one")));
    EXPECT_FALSE(setCurrentPassword(QStringLiteral("two")));
    EXPECT_EQ(QStringLiteral("one"), held->text());   // an old holder keeps its password
    EXPECT_EQ(QStringLiteral("two"), currentPassword()->text());
    try {
        checkSecurityReady();
        ADD_FAILURE();
    } catch (const std::runtime_error& e) {
        EXPECT_TRUE(QString::fromLatin1(e.what()).startsWith("Failed to initialize the security subsystem: error "));
    }
    releaseCurrentPassword();
    EXPECT_TRUE(currentPassword().isNull());
}
