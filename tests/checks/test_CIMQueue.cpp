// The message queue: composition by key pair, at most five entries a message, and the sent and
// failed bookkeeping of each message's ids.

#include "CIMQueue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(CIMQueue, ComposesFiveMatchingEntriesAndLeavesTheRestInOrder)
{
    CIMQueue q;
    for (int id = 1; id <= 7; ++id) {
        q.addToQueue(id, "ops", "pager", ("line " + std::to_string(id)).c_str());
        if (id == 3)
            q.addToQueue(100, "ops", "mail", "other pair");
        if (id == 4)
            q.addToQueue(101, "Ops", "pager", "keys are case-sensitive");
    }
    q.composeMessage("ops", "pager");
    ASSERT_NE(q.composedMessage(), nullptr);
    EXPECT_STREQ(q.composedMessage(), "line 1\nline 2\nline 3\nline 4\nline 5\n");
    EXPECT_EQ(q.composedIds(), (std::vector<int>{1, 2, 3, 4, 5}));
    for (int id : {1, 5, 6, 7, 100, 101})
        EXPECT_TRUE(q.isInQueue(id)) << id;

    q.moveComposedToSent();
    q.composeMessage("ops", "pager");
    EXPECT_STREQ(q.composedMessage(), "line 6\nline 7\n");
    EXPECT_EQ(q.composedIds(), (std::vector<int>{6, 7}));
    q.moveComposedToSent();

    // The other pairs were never taken.
    q.composeMessage("ops", "mail");
    EXPECT_STREQ(q.composedMessage(), "other pair\n");
    q.composeMessage("Ops", "pager");
    EXPECT_STREQ(q.composedMessage(), "keys are case-sensitive\n");

    // Nothing left for the pair: the last message stays, no id is composed.
    q.composeMessage("ops", "pager");
    EXPECT_STREQ(q.composedMessage(), "keys are case-sensitive\n");
    EXPECT_TRUE(q.composedIds().empty());
}

TEST(CIMQueue, EachMessageMovesOnlyItsOwnIds)
{
    CIMQueue q;
    q.addToQueue(1, "a", "b", "one");
    q.composeMessage("a", "b");
    q.moveComposedToSent();
    EXPECT_FALSE(q.isInQueue(1));  // done with: no longer queued

    q.addToQueue(2, "a", "b", "two");
    q.composeMessage("a", "b");
    q.moveComposedToSent();
    // Id 1 went out once only.
    EXPECT_TRUE(q.removeFromSent(1));
    EXPECT_FALSE(q.removeFromSent(1));
    EXPECT_TRUE(q.removeFromSent(2));

    q.addToQueue(3, "a", "b", "three");
    q.composeMessage("a", "b");
    q.moveComposedToFailed("first");
    char reason[CIMQueue::kReasonSize] = "untouched";
    EXPECT_FALSE(q.removeFromFailed(2, reason));
    EXPECT_STREQ(reason, "untouched");
}

TEST(CIMQueue, FailedIdsKeepTheirFirstReason)
{
    CIMQueue q;
    q.addToQueue(1, "a", "b", "one");
    q.addToQueue(2, "a", "b", "two");
    q.composeMessage("a", "b");
    q.moveComposedToFailed("smtp refused");
    q.addToQueue(1, "a", "b", "one again");
    q.composeMessage("a", "b");
    q.moveComposedToFailed("second reason");

    char reason[CIMQueue::kReasonSize] = {};
    EXPECT_TRUE(q.removeFromFailed(1, reason));
    EXPECT_STREQ(reason, "smtp refused");
    EXPECT_FALSE(q.removeFromFailed(1, reason));

    // No reason: true, and the buffer is left alone.
    q.addToQueue(3, "a", "b", "three");
    q.composeMessage("a", "b");
    q.moveComposedToFailed("");
    std::strcpy(reason, "keep");
    EXPECT_TRUE(q.removeFromFailed(3, reason));
    EXPECT_STREQ(reason, "keep");

    // A long reason is cut to the buffer, never inside a character.
    const std::string longReason = std::string(126, 'x') + "\xc3\xa9" + "tail";
    q.addToQueue(4, "a", "b", "four");
    q.composeMessage("a", "b");
    q.moveComposedToFailed(longReason.c_str());
    EXPECT_TRUE(q.removeFromFailed(4, reason));
    EXPECT_EQ(std::string(reason), std::string(126, 'x'));
}

}  // namespace
