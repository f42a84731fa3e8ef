// An open poll is answered once, through its own session; busy templates are a set.
#include "link/CBusyTemplates.h"
#include "link/CLinkPoll.h"

#include <QMutex>
#include <QStringList>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

class RecordingSink : public ILinkPollSink
{
public:
    bool sendPollResult(const CLinkPollPtr& poll) override
    {
        QMutexLocker l(&mutex);
        sent << poll;
        return false;
    }
    QMutex mutex;
    QList<CLinkPollPtr> sent;
};

TEST(LinkPoll, CompletesOnceWithItsOutcomeWhateverTheNumberOfCallers)
{
    RecordingSink sink;
    SLinkPollRequest request;
    request.monitorId = 42;
    CLinkPollPtr poll(new CLinkPoll(&sink, 3, 77, request));
    EXPECT_EQ(poll->linkId(), 3);
    EXPECT_EQ(poll->transactionId(), 77);
    EXPECT_FALSE(poll->isCompleted());

    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([poll, i] {
            SPollOutcome o;
            o.status = 3;
            o.result = i;
            poll->complete(o);
        });
    }
    for (auto& t : threads)
        t.join();
    ASSERT_EQ(sink.sent.size(), 1);
    EXPECT_EQ(sink.sent[0], poll);
    EXPECT_TRUE(poll->isCompleted());
    EXPECT_EQ(poll->outcome().status, 3);

    const SPollOutcome refusal = CLinkPoll::refusal(2, "updating template attachments");
    EXPECT_EQ(refusal.status, 3);
    EXPECT_EQ(refusal.result, 2);
    EXPECT_EQ(refusal.failReason, QByteArray("updating template attachments"));
    EXPECT_TRUE(refusal.newMonitors.isEmpty());
}

TEST(BusyTemplates, BusyFromAnyCheckUntilOneRelease)
{
    const struct {
        const char* name;
        QList<int> marks;
        QList<int> releases;
        QList<int> busyAfter;
        QList<bool> releaseResults;
    } cases[] = {
        {"one check, one create", {9}, {9}, {}, {true}},
        {"two checks, one create", {9, 9}, {9}, {}, {true}},
        {"create without a check", {}, {9}, {}, {false}},
        {"other templates stay busy", {9, 10}, {9}, {10}, {true}},
        {"second release of the same", {9}, {9, 9}, {}, {true, false}},
    };
    for (const auto& c : cases) {
        CBusyTemplates busy;
        for (int t : c.marks)
            busy.markBusy(t);
        QList<bool> results;
        for (int t : c.releases)
            results << busy.release(t);
        EXPECT_EQ(results, c.releaseResults) << c.name;
        QList<int> still;
        for (int t : {9, 10})
            if (busy.isBusy(t))
                still << t;
        EXPECT_EQ(still, c.busyAfter) << c.name;
        EXPECT_EQ(busy.count(), c.busyAfter.size()) << c.name;
    }
}

} // namespace
