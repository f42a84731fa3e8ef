#include "core/CommandLine.h"

#include <gtest/gtest.h>

namespace {

SCommandLine parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "netagentd");
    return parseCommandLine(args);
}

}

TEST(CommandLine, ModeOptionsIgnoreCaseAndTheLastOneWins)
{
    const struct {
        std::vector<std::string> args;
        SCommandLine::Mode mode;
    } cases[] = {
        {{}, SCommandLine::NoMode},
        {{"debug", "daemon", "x"}, SCommandLine::NoMode},
        {{"-bogus", "-", "--debug"}, SCommandLine::NoMode},
        {{"-stress", "8"}, SCommandLine::NoMode},
        {{"-value", "2", "0"}, SCommandLine::NoMode},
        {{"-debug"}, SCommandLine::RunWithStderr},
        {{"-DEBUG"}, SCommandLine::RunWithStderr},
        {{"-Daemon"}, SCommandLine::RunWithoutStderr},
        {{"-DAEMON"}, SCommandLine::RunWithoutStderr},
        {{"-debug", "-daemon"}, SCommandLine::RunWithoutStderr},
        {{"-daemon", "-debug"}, SCommandLine::RunWithStderr},
        {{"-debug", "-connectionId"}, SCommandLine::ConnectionId},
        {{"-connectionId", "/c.pem", "-debug"}, SCommandLine::RunWithStderr},
        {{"-CONNECTIONID", "/c.pem"}, SCommandLine::ConnectionId},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        EXPECT_EQ(parse(c.args).mode, c.mode);
    }
}

TEST(CommandLine, ConnectionIdTakesTheFollowingArgumentAsPath)
{
    EXPECT_EQ(parse({"-connectionId", "/etc/c.pem"}).certificatePath, QStringLiteral("/etc/c.pem"));
    EXPECT_EQ(parse({"-connectionId", "/a.pem", "-connectionId"}).certificatePath, QStringLiteral("/a.pem"));
    EXPECT_TRUE(parse({"-debug", "-connectionId"}).certificatePath.isEmpty());
    EXPECT_EQ(parse({"-connectionId", "/\xc3\xa4.pem"}).certificatePath, QString::fromUtf8("/\xc3\xa4.pem"));
}

TEST(CommandLine, NumericOptionsConsumeTheirArguments)
{
    SCommandLine cl = parse({"-delay", "300", "-stress", "8", "-value", "2", "0", "-daemon"});
    EXPECT_EQ(cl.delaysMs, std::vector<int>({300}));
    EXPECT_TRUE(cl.hasStress);
    EXPECT_EQ(cl.stressFlags, 8);
    ASSERT_EQ(cl.values.size(), 1u);
    EXPECT_EQ(cl.values[0], std::make_pair(2, 0));
    EXPECT_EQ(cl.mode, SCommandLine::RunWithoutStderr);

    // A trailing option without its argument is ignored; "value" with one argument leaves
    // that argument to be read as an option.
    cl = parse({"-debug", "-stress"});
    EXPECT_FALSE(cl.hasStress);
    cl = parse({"-value", "-daemon"});
    EXPECT_TRUE(cl.values.empty());
    EXPECT_EQ(cl.mode, SCommandLine::RunWithoutStderr);
    cl = parse({"-delay"});
    EXPECT_TRUE(cl.delaysMs.empty());
    // The option's argument is consumed even when it looks like an option.
    cl = parse({"-delay", "-debug"});
    EXPECT_EQ(cl.mode, SCommandLine::NoMode);
    EXPECT_EQ(cl.delaysMs, std::vector<int>({0}));
}

TEST(CommandLine, NumbersReadLikeStrtol)
{
    const struct {
        const char* text;
        int value;
    } cases[] = {
        {"300", 300}, {"  42", 42}, {"+7", 7}, {"-5", -5}, {"12abc", 12}, {"abc", 0}, {"", 0},
        {"0x10", 0}, {"99999999999999", 2147483647}, {"-99999999999999", -2147483647 - 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseOptionNumber(c.text), c.value) << c.text;
}

TEST(CommandLine, UsageTextIsExact)
{
    EXPECT_EQ(usageText("./netagentd"),
              "Network Monitor Unix Daemon\n"
              "Usage: ./netagentd {-debug|-daemon}\n"
              "   -debug\truns the service as a normal process\n"
              "   -daemon\truns the process as a daemon ");
}
