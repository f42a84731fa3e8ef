#include "common/CDbException.h"

#include <gtest/gtest.h>

TEST(CDbException, ReclassifiesDatabaseErrorTexts)
{
    struct Case { int code; const char* detail; int codeAfter; const char* detailAfter; };
    const Case cases[] = {
        {-902, "<fbe>335544344</fbe>I/O: Reached the end of the file.", 5, "I/O: Reached the end of the file."},
        {-902, "<fbe>335544344</fbe>The system cannot find the file specified.", 6,
         "The system cannot find the file specified."},
        {-902, "<fbe>335544344</fbe>other", 9, "other"},
        {-902, "<fbe>335544472</fbe>login", 3, "login"},
        {-902, "<fbe>1</fbe>x", 10, "x"},
        {-901, "<fbe>1</fbe>x", 10, "x"},
        {-85, "<fbe>1</fbe>", 10, ""},
        {-836, "<fbe>335544665</fbe>violation of KEYVIOLATION", 13, "violation of KEYVIOLATION"},
        {-836, "<fbe>335544665</fbe>keyviolation", -836, "keyviolation"},
        {-836, "violation of KEYVIOLATION", -836, "violation of KEYVIOLATION"},
        {-902, "<fbe></fbe>x", -902, "<fbe></fbe>x"},
        {-902, " <fbe>1</fbe>x", -902, " <fbe>1</fbe>x"},
        {-902, "<fbe>99999999999999999999999</fbe>x", 10, "x"},
        {-1, "", -1, ""},
        {7, "<fbe>335544344</fbe>line1\nline2", 7, "line1\nline2"},
    };
    for (const Case& c : cases) {
        const CDbException e(QStringLiteral("msg"), c.code, QString::fromLatin1(c.detail));
        EXPECT_EQ(c.codeAfter, e.code()) << c.detail;
        EXPECT_EQ(QString::fromLatin1(c.detailAfter), e.detail()) << c.detail;
    }
}

TEST(CDbException, IsARuntimeErrorWithLatin1Message)
{
    try {
        throw CDbException(QStringLiteral("cannot find string for 0"), -1);
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("cannot find string for 0", e.what());
        ASSERT_NE(nullptr, dynamic_cast<const CDbException*>(&e));
        EXPECT_EQ(-1, dynamic_cast<const CDbException&>(e).code());
    }
    EXPECT_STREQ("caf\xe9", CDbException(QStringLiteral("caf\u00e9"), 0).what());
}
