// Notifications waiting for a client: the floor of 1000 and the lifetime beyond it, aged on a
// clock the test moves by hand.
#include "ControlPortClient.h"

#include "link/CControlServerNetworkServer.h"
#include "support/HandClock.h"

#include <gtest/gtest.h>

namespace {

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
    HandClock clock;
    StandaloneControlServer server(0, true, &clock);
    ASSERT_TRUE(server.waitListening());
    const int count = CControlServerNetworkServer::kPendingFloor + 100;
    for (int i = 1; i <= count; ++i)
        server->sendNotification(fsPtr(10002, i, 0, 0));
    ControlPortClient client;
    ASSERT_TRUE(client.connectTo(server->serverPort()));
    client.send(NotificationFixedSize(1, 7, 8, 0));
    ASSERT_TRUE(client.waitForCount(count + 1, 20000));
    EXPECT_EQ(client.received(), statuses(1, count) << fs(2, 7, 8, 0));
}

TEST(ControlServerQueue, BeyondTheFloorExpiredEntriesAreDroppedOldestFirst)
{
    HandClock clock;
    StandaloneControlServer server(0, true, &clock);
    ASSERT_TRUE(server.waitListening());
    const int floor = CControlServerNetworkServer::kPendingFloor;
    for (int i = 1; i <= floor + 1; ++i)
        server->sendNotification(fsPtr(10002, i, 0, 0));
    // Each entry is stamped with a read of the clock as it joins the pending list: once it
    // was read as often as there are entries, the oldest ones carry the time before the move.
    ASSERT_TRUE(waitUntil([&] { return clock.reads() >= floor + 1; }, 20000));
    clock.advanceMs(CControlServerNetworkServer::kPendingLifetimeMs + 1);
    // One more: 1002 pending, so the two oldest (expired) go, down to the floor.
    server->sendNotification(fsPtr(10002, 0, 0, 0));

    ControlPortClient client;
    ASSERT_TRUE(client.connectTo(server->serverPort()));
    client.send(NotificationFixedSize(1, 7, 8, 0));
    ASSERT_TRUE(client.waitForCount(floor + 1, 20000));
    EXPECT_EQ(client.received(), statuses(3, floor + 1) << fs(10002, 0, 0, 0) << fs(2, 7, 8, 0));
}
