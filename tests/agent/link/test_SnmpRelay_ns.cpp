// The relay's default proxy port (3457) inside this program's own network namespace.
#include "SnmpRelayTestPeer.h"
#include "support/EventLoopWait.h"
#include "link/CSnmpRelayControl.h"

#include <gtest/gtest.h>

TEST(SnmpRelayDefaultPort, BindsTheProxyPortAndReportsABusyPort)
{
    UdpEchoPeer echo;
    const QByteArray peer = "127.0.0.1:" + QByteArray::number(echo.port());
    RelayMessageLog log;
    {
        CSnmpRelayControl control([&](const CAgentMessagePtr& m) { log(m); });
        control.handleRequest(CSnmpReq(1, 0, peer));
        ASSERT_NE(control.relay(), nullptr);
        EXPECT_EQ(control.relay()->localPort(), 3457);
        EXPECT_TRUE(control.handleData(CSnmpData(1, "through 3457")));
        ASSERT_TRUE(waitUntil([&] { return log.data.size() == 1; }));
    }
    EXPECT_EQ(log.lines, QStringList({"18:1,0,0", "19:1", "18:1,1,3"}));

    // Port taken: every open fails at once, and each replaced relay reports the bind failure.
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress(QHostAddress::Any), 3457));
    log = RelayMessageLog();
    CSnmpRelayControl control([&](const CAgentMessagePtr& m) { log(m); });
    control.handleRequest(CSnmpReq(7, 0, peer));
    control.handleRequest(CSnmpReq(8, 0, peer));
    EXPECT_EQ(log.lines, QStringList({"18:7,1,5", "18:7,1,6", "18:8,1,5"}));
}
