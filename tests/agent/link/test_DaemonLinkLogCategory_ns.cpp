// Connection lines ("[connection ...] ...") of the daemon obey log category 2: written as plain log lines while it is
// on (the default), not at all once "-value 2 0" switches it off.
#include "DaemonSessionFixture.h"

namespace {

const QString kLog = QStringLiteral("/var/log/corvane-agent/agent.log");
const QString kConnectionLine = QStringLiteral("[connection ");

QStringList connectionLines()
{
    QFile f(kLog);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n')).filter(kConnectionLine);
}

class DaemonLinkLogCategory : public DaemonSessionFixture, public ::testing::WithParamInterface<bool>
{
protected:
    void SetUp() override
    {
        QFile::remove(kLog);
        DaemonSessionFixture::SetUp();
    }
    QStringList extraArguments() const override
    {
        return GetParam() ? QStringList() : QStringList{QStringLiteral("-value"), QStringLiteral("2"), QStringLiteral("0")};
    }
};

TEST_P(DaemonLinkLogCategory, ConnectionLinesFollowCategoryTwo)
{
    // The session has identified itself, so its connection line has been logged by now if at all.
    ASSERT_TRUE(pingRoundTrip(5));
    if (GetParam()) {
        ASSERT_TRUE(waitUntil([] { return !connectionLines().isEmpty(); }));
        for (const QString& line : connectionLines())
            EXPECT_FALSE(line.contains(QStringLiteral("debug: "))) << line.toStdString();
    } else {
        EXPECT_EQ(connectionLines(), QStringList());
    }
}

INSTANTIATE_TEST_SUITE_P(Switch, DaemonLinkLogCategory, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "On" : "Off"; });

} // namespace
