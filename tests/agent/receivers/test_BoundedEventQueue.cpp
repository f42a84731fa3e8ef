// The bounded queue between a connector thread and its manager: a run of items that share a
// buffer is charged its bytes once and kept whole or not at all for bytes, item by item for
// the item bound; what is refused is counted, and takes hand items over in order.
#include "receivers/BoundedEventQueue.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> run(int from, int count)
{
    std::vector<int> items;
    for (int i = 0; i < count; ++i)
        items.push_back(from + i);
    return items;
}

TEST(BoundedEventQueue, SharedRunsAreChargedOnceAndKeptInOrder)
{
    // bounds, runs pushed as (items, item cost, shared bytes), then kept and dropped in all
    const struct
    {
        const char* name;
        int maxItems;
        qint64 maxBytes;
        std::vector<std::vector<int>> runs;   // {count, item cost, shared bytes}
        std::vector<int> kept;
        quint64 dropped;
    } cases[] = {
        {"all fit", 10, 1000, {{3, 10, 100}, {2, 10, 100}}, {3, 2}, 0},
        {"item bound cuts a run", 4, 1000, {{3, 10, 100}, {3, 10, 100}}, {3, 1}, 2},
        {"bytes refuse a whole run", 100, 200, {{3, 10, 100}, {3, 10, 100}, {1, 10, 50}}, {3, 0, 1}, 3},
        {"a full queue keeps nothing", 2, 1000, {{2, 1, 1}, {5, 1, 1}}, {2, 0}, 5},
    };
    for (const auto& c : cases) {
        BoundedEventQueue<int> queue(c.maxItems, c.maxBytes);
        queue.open();
        int next = 0;
        std::vector<int> expected;
        for (size_t r = 0; r < c.runs.size(); ++r) {
            std::vector<int> items = run(next, c.runs[r][0]);
            const int kept = queue.pushShared(items, c.runs[r][1], c.runs[r][2]);
            EXPECT_EQ(kept, c.kept[r]) << c.name << " run " << r;
            EXPECT_TRUE(items.empty()) << c.name;
            for (int i = 0; i < kept; ++i)
                expected.push_back(next + i);
            next += c.runs[r][0];
        }
        EXPECT_EQ(queue.droppedCount(), c.dropped) << c.name;
        std::vector<int> taken;
        ASSERT_EQ(queue.takeAll(taken), BoundedEventQueue<int>::Taken) << c.name;
        EXPECT_EQ(taken, expected) << c.name;
        // Taken: the room is free again.
        std::vector<int> again = run(100, 1);
        EXPECT_EQ(queue.pushShared(again, 1, 1), 1) << c.name;
    }
}

TEST(BoundedEventQueue, TakesAppendAfterWhatTheConsumerHolds)
{
    BoundedEventQueue<int> queue(10, 1000);
    queue.open();
    queue.push(1, 1);
    std::vector<int> out = {0};
    ASSERT_EQ(queue.takeAll(out), BoundedEventQueue<int>::Taken);
    EXPECT_EQ(out, std::vector<int>({0, 1}));
    // A stopped queue refuses pushes without counting them as drops.
    queue.stopAndDiscard();
    std::vector<int> items = run(5, 2);
    EXPECT_EQ(queue.pushShared(items, 1, 1), 0);
    EXPECT_EQ(queue.droppedCount(), 0u);
    out.clear();
    EXPECT_EQ(queue.takeAll(out), BoundedEventQueue<int>::Closed);
}

} // namespace
