// A relay request naming a host whose lookup hangs (the resolver at 127.0.0.1 never answers)
// does not hold up the session: a ping sent behind it is answered first, and the relay
// answers "not opened" once its bounded lookup gives up.
#include "DaemonSessionFixture.h"
#include "support/PrivateNameFiles.h"

#include <QHostInfo>
#include <QTemporaryDir>
#include <QUdpSocket>

namespace {

namespace msg = peer::msg;

using peer::Field;
using peer::Message;

class DaemonLinkRelayLookup : public DaemonSessionFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(names.isValid());
        // Takes the resolver's datagrams and never answers them.
        ASSERT_TRUE(silentResolver.bind(QHostAddress::LocalHost, 53));
        // The daemon's own names stay in the hosts file; only the relay's name goes to DNS.
        const QByteArray hosts = "127.0.0.1 localhost " + QHostInfo::localHostName().toUtf8() + "\n";
        const QString error = privatenames::install(names.path(), hosts, "files dns", "timeout:4 attempts:2");
        ASSERT_TRUE(error.isEmpty()) << qPrintable(error);
        DaemonSessionFixture::SetUp();
    }

    QTemporaryDir names;
    QUdpSocket silentResolver;
};

TEST_F(DaemonLinkRelayLookup, HangingLookupDoesNotDelayThePing)
{
    s->send(peer::frame(-1, msg::SnmpReq,
                        {Field::raw("host", "hangs.test:161"), Field::num("id", 12), Field::num("type", 0)}));
    s->send(peer::frame(51, msg::PingReq));
    Message m;
    ASSERT_TRUE(answer(msg::PingResp, 51, m, 20000));
    EXPECT_FALSE(s->types().contains(msg::SnmpResp)) << "the relay answered before the ping";

    ASSERT_TRUE(s->waitFor(msg::SnmpResp, m, 30000));
    EXPECT_EQ(m.num("id"), 12);
    EXPECT_EQ(m.num("type"), 1);
    EXPECT_EQ(m.num("reason"), 5);
    EXPECT_TRUE(pingRoundTrip(52));
}

} // namespace
