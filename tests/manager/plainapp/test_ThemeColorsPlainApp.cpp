#include "themes/ThemeColors.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

// Under an application object that is not the manager's (the tests' plain one), the lookup
// falls back to the light set instead of failing on the cast.
TEST(ThemeColorsPlainApp, FallsBackToTheLightSet)
{
    ASSERT_NE(QCoreApplication::instance(), nullptr);
    EXPECT_EQ(&themeColors(), &lightColors);
}
