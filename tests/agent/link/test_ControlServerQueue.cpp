// Notifications waiting for a client: the floor of 1000 and the lifetime beyond it. The
// lifetime (60 s) is shortened through the daemon's test time scale.
#include "ControlPortClient.h"

#include "link/CControlServerNetworkServer.h"

#include <QThread>
#include <cstdlib>

#include <gtest/gtest.h>

namespace {

// Lifetime 60 s * 0.05 = 3 s; set before anything reads the scale.
const bool kScaleSet = [] {
    setenv("NETAGENTD_TEST_TIME_SCALE", "0.05", 1);
    return true;
}();
constexpr int kScaledLifetimeMs = 3000;

QStringList statuses(int from, int to)
{
    QStringList out;
    for (int i = from; i <= to; ++i)
        out << fs(10002, i, 0, 0);
    return out;
}

}

TEST(ControlServerQueue, BeyondTheFloorYoungEntriesAllWait)
{
    ASSERT_TRUE(kScaleSet);
    StandaloneControlServer server;
    ASSERT_TRUE(server.waitListening());
    const int count = CControlServerNetworkServer::kPendingFloor + 100;
    for (int i = 1; i <= count; ++i)
        server->sendNotification(fsPtr(10002, i, 0, 0));
    ControlPortClient client;
    ASSERT_TRUE(client.connectTo(server->serverPort()));
    client.send(NotificationFixedSize(1, 7, 8, 0));
    ASSERT_TRUE(client.waitForCount(count + 1));
    EXPECT_EQ(client.received(), statuses(1, count) << fs(2, 7, 8, 0));
}

TEST(ControlServerQueue, BeyondTheFloorExpiredEntriesAreDroppedOldestFirst)
{
    StandaloneControlServer server;
    ASSERT_TRUE(server.waitListening());
    const int floor = CControlServerNetworkServer::kPendingFloor;
    for (int i = 1; i <= floor + 1; ++i)
        server->sendNotification(fsPtr(10002, i, 0, 0));
    QThread::msleep(kScaledLifetimeMs + 1500);
    // One more: 1002 pending, so the two oldest (expired) go, down to the floor.
    server->sendNotification(fsPtr(10002, 0, 0, 0));

    ControlPortClient client;
    ASSERT_TRUE(client.connectTo(server->serverPort()));
    client.send(NotificationFixedSize(1, 7, 8, 0));
    ASSERT_TRUE(client.waitForCount(floor + 1));
    EXPECT_EQ(client.received(), statuses(3, floor + 1) << fs(10002, 0, 0, 0) << fs(2, 7, 8, 0));
}
