#include "common/Macros.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

SMacroContext context()
{
    SMacroContext c;
    c.variables.insert(QStringLiteral("installdir"), QStringLiteral("/opt/agent"));
    c.variables.insert(QStringLiteral("install"), QStringLiteral("SHORT"));
    c.variables.insert(QStringLiteral("datadir"), QStringLiteral("/etc/opt/corvane-agent"));
    c.variables.insert(QStringLiteral("self"), QStringLiteral("<$self>"));
    c.variables.insert(QStringLiteral("ping"), QStringLiteral("p($pong)"));
    c.variables.insert(QStringLiteral("pong"), QStringLiteral("q($ping)"));
    c.variables.insert(QStringLiteral("nested"), QStringLiteral("$datadir/x"));
    c.variables.insert(QStringLiteral("pct"), QStringLiteral("%HOME%"));
    c.environment.insert(QStringLiteral("HOME"), QStringLiteral("/home/u"));
    c.environment.insert(QStringLiteral("Mixed_Case"), QStringLiteral("mc"));
    return c;
}

} // namespace

TEST(Macros, ExpandsVariables)
{
    struct Case { const char* in; const char* out; };
    const Case cases[] = {
        {"$InstallDir/bin", "/opt/agent/bin"},
        {"$INSTALLDIRX", "/opt/agent" "X"},          // longest key that begins the name
        {"$installdir2/x", "/opt/agent" "2/x"},
        {"$Instal", "$Instal"},                      // no key begins "instal"
        {"$unknown and $", "$unknown and $"},
        {"$$InstallDir", "$/opt/agent"},
        {"a$nested-b", "a/etc/opt/corvane-agent/x-b"},
        {"$self", "<>"},                             // a variable refers to itself
        {"$ping", "p(q())"},                         // a loop through two variables stops
        {"$pct", "/home/u"},
        {"no macros", "no macros"},
        {"", ""},
    };
    const SMacroContext c = context();
    for (const Case& k : cases)
        EXPECT_EQ(QString::fromLatin1(k.out), expandMacros(c, QString::fromLatin1(k.in))) << k.in;
}

TEST(Macros, LongNamesFallBackToPrefixOf30)
{
    const SMacroContext c = context();
    const QString longTail(40, QLatin1Char('z'));
    EXPECT_EQ(QStringLiteral("/opt/agent") + longTail, expandMacros(c, QStringLiteral("$installdir") + longTail));
    // A 31-character name of an existing 31-character key is not looked up whole, but its
    // first 30 characters are searched as a prefix: no key begins with them here.
    SMacroContext k;
    k.variables.insert(QString(31, QLatin1Char('a')), QStringLiteral("V"));
    EXPECT_EQ(QStringLiteral("$") + QString(31, QLatin1Char('a')), expandMacros(k, QStringLiteral("$") + QString(31, QLatin1Char('a'))));
}

TEST(Macros, EnvironmentWithoutRegardToCase)
{
    const SMacroContext c = context();
    struct Case { const char* in; const char* out; };
    const Case cases[] = {
        {"%HOME%/x", "/home/u/x"},
        {"%home%/x and %HoMe%", "/home/u/x and /home/u"},
        {"%mixed_case%", "mc"},
        {"%NOPE% 100%", "%NOPE% 100%"},
    };
    for (const Case& k : cases)
        EXPECT_EQ(QString::fromLatin1(k.out), expandMacros(c, QString::fromLatin1(k.in))) << k.in;
}

TEST(Macros, PathVariables)
{
    QTemporaryDir install, data;
    ASSERT_TRUE(install.isValid() && data.isValid());
    SMacroContext c;
    pathVariables(c, install.path() + "/./", data.path());
    const QString i = QDir(install.path()).canonicalPath();
    const QString d = QDir(data.path()).canonicalPath();
    EXPECT_EQ(i, c.variables.value("installdir"));
    EXPECT_EQ(i, c.variables.value("corvaneinstalldir"));
    EXPECT_EQ(d, c.variables.value("datadir"));
    EXPECT_EQ(d, c.variables.value("corvanedatadir"));
    EXPECT_EQ(4, c.variables.size());
    EXPECT_EQ(d + "/x", expandMacros(c, QStringLiteral("$CorvaneDataDir/x")));

    SMacroContext own;
    pathVariables(own);
    EXPECT_EQ(QDir(QFileInfo(QCoreApplication::applicationDirPath()).path()).canonicalPath(),
              own.variables.value("installdir"));
}
