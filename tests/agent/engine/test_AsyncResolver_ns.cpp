// The background resolver: requests for one text wait as one lookup, a request of the service
// takes over a waiting one, only answers that differ are reported (link value -1), a lookup
// that hangs is given up and costs a bounded number of threads, errors are logged and do not
// stop the resolver, and stop does not wait for a hanging lookup. Runs with its own /etc/hosts.

#include "support/CapturedMessages.h"
#include "support/EventLoopWait.h"
#include "support/PrivateNameFiles.h"
#include "engine/CAsyncResolver.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QMap>
#include <QMutex>
#include <QSet>
#include <QTemporaryDir>
#include <QWaitCondition>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

const SResolveReqId kPlugin = kResolveReqIdNoWaiter;

// Answers from a table; texts listed as blocking wait until released, texts listed as
// throwing throw. Shared with the resolver's helper threads, which may outlive a test.
struct FakeLookups
{
    QMutex mutex;
    QWaitCondition cond;
    QMap<QString, QString> answers;
    QMap<QString, int> calls;
    QSet<QString> blocking;
    QSet<QString> throwing;
    QSet<QString> entered;
    int finishedBlocking = 0;
    bool released = false;

    QString lookup(const QString& text)
    {
        QMutexLocker lock(&mutex);
        ++calls[text];
        entered.insert(text);
        cond.wakeAll();
        if (throwing.contains(text))
            throw std::runtime_error("lookup failed");
        if (blocking.contains(text)) {
            while (!released)
                cond.wait(&mutex);
            ++finishedBlocking;
        }
        return answers.value(text);
    }
    bool waitEntered(const QString& text, int ms = 10000)
    {
        QMutexLocker lock(&mutex);
        QElapsedTimer t;
        t.start();
        while (!entered.contains(text)) {
            if (t.elapsed() > ms)
                return false;
            cond.wait(&mutex, 50);
        }
        return true;
    }
    void release()
    {
        QMutexLocker lock(&mutex);
        released = true;
        cond.wakeAll();
    }
    void setAnswer(const QString& text, const QString& answer)
    {
        QMutexLocker lock(&mutex);
        answers.insert(text, answer);
    }
    int callsOf(const QString& text)
    {
        QMutexLocker lock(&mutex);
        return calls.value(text);
    }
};

struct Report
{
    int link;
    SResolveReqId id;
    bool address;
    QString text;
    QString answer;
    bool operator==(const Report& o) const
    {
        return link == o.link && id == o.id && address == o.address && text == o.text && answer == o.answer;
    }
};

void PrintTo(const Report& r, std::ostream* os)
{
    *os << "{" << r.link << ", " << r.id << ", " << r.address << ", " << r.text.toStdString() << ", "
        << r.answer.toStdString() << "}";
}

struct Reports
{
    QMutex mutex;
    std::vector<Report> list;

    void add(const Report& r)
    {
        QMutexLocker lock(&mutex);
        list.push_back(r);
    }
    std::vector<Report> all()
    {
        QMutexLocker lock(&mutex);
        return list;
    }
    bool hasText(const QString& text)
    {
        QMutexLocker lock(&mutex);
        for (const Report& r : list)
            if (r.text == text)
                return true;
        return false;
    }
};

class AsyncResolver : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fakes = std::make_shared<FakeLookups>();
        reports = std::make_shared<Reports>();
        resolver.reset(new CAsyncResolver);
        std::shared_ptr<FakeLookups> f = fakes;
        resolver->setLookups([f](const QString& text, const QString&) { return f->lookup(text); },
                             [f](const QString& text, const QString&) { return f->lookup(text); });
        std::shared_ptr<Reports> r = reports;
        resolver->setReporter([r](int link, SResolveReqId id, bool address, const QString& text, const QString& answer) {
            r->add({link, id, address, text, answer});
        });
    }
    void TearDown() override
    {
        fakes->release();
        if (resolver->isRunning()) {
            resolver->stop();
            resolver->wait(10000);
        }
        resolver.reset();
    }

    // Lookups run one at a time in order, so once a later text is reported every earlier
    // lookup has been decided.
    void finishWithSentinel()
    {
        fakes->setAnswer(QStringLiteral("sentinel.test"), QStringLiteral("127.0.0.99"));
        resolver->postAddForLookup(kPlugin, false, QStringLiteral("sentinel.test"), QString());
        ASSERT_TRUE(waitUntil([this] { return reports->hasText(QStringLiteral("sentinel.test")); }));
    }

    std::shared_ptr<FakeLookups> fakes;
    std::shared_ptr<Reports> reports;
    std::unique_ptr<CAsyncResolver> resolver;
};

TEST_F(AsyncResolver, OneLookupPerWaitingTextAndTheServiceTakesOver)
{
    fakes->blocking.insert(QStringLiteral("gate.test"));
    fakes->answers = {{QStringLiteral("gate.test"), QStringLiteral("127.0.0.1")},
                      {QStringLiteral("a.test"), QStringLiteral("127.0.0.2")},
                      {QStringLiteral("b.test"), QStringLiteral("127.0.0.3")},
                      {QStringLiteral("c.test"), QStringLiteral("127.0.0.4")},
                      {QStringLiteral("127.0.0.2"), QStringLiteral("a.test")}};
    resolver->start();
    resolver->postAddForLookup(kPlugin, false, QStringLiteral("gate.test"), QString());
    ASSERT_TRUE(fakes->waitEntered(QStringLiteral("gate.test")));

    resolver->postAddForLookup(kPlugin, false, QStringLiteral("a.test"), QString());
    resolver->postAddForLookup(kPlugin, false, QStringLiteral("a.test"), QString());
    resolver->postAddForLookup(kPlugin, false, QStringLiteral("b.test"), QString());
    resolver->postAddForLookup(42, false, QStringLiteral("b.test"), QString());
    resolver->postAddForLookup(43, false, QStringLiteral("c.test"), QString());
    resolver->postAddForLookup(kPlugin, false, QStringLiteral("c.test"), QString());
    // Same text as an address: a lookup of its own.
    resolver->postAddForLookup(kPlugin, true, QStringLiteral("127.0.0.2"), QString());
    fakes->release();
    finishWithSentinel();

    EXPECT_EQ(fakes->callsOf(QStringLiteral("a.test")), 1);
    EXPECT_EQ(fakes->callsOf(QStringLiteral("b.test")), 1);
    EXPECT_EQ(fakes->callsOf(QStringLiteral("c.test")), 1);
    const std::vector<Report> expected = {
        {-1, kPlugin, false, QStringLiteral("gate.test"), QStringLiteral("127.0.0.1")},
        {-1, kPlugin, false, QStringLiteral("a.test"), QStringLiteral("127.0.0.2")},
        {-1, 42, false, QStringLiteral("b.test"), QStringLiteral("127.0.0.3")},
        {-1, 43, false, QStringLiteral("c.test"), QStringLiteral("127.0.0.4")},
        {-1, kPlugin, true, QStringLiteral("127.0.0.2"), QStringLiteral("a.test")},
        {-1, kPlugin, false, QStringLiteral("sentinel.test"), QStringLiteral("127.0.0.99")},
    };
    EXPECT_EQ(reports->all(), expected);

    // Once performed, the same text is looked up again.
    resolver->postAddForLookup(kPlugin, false, QStringLiteral("a.test"), QString());
    fakes->setAnswer(QStringLiteral("sentinel2.test"), QStringLiteral("127.0.0.98"));
    resolver->postAddForLookup(kPlugin, false, QStringLiteral("sentinel2.test"), QString());
    ASSERT_TRUE(waitUntil([this] { return reports->hasText(QStringLiteral("sentinel2.test")); }));
    EXPECT_EQ(fakes->callsOf(QStringLiteral("a.test")), 2);
}

struct FilterCase
{
    const char* label;
    SResolveReqId id;
    bool address;
    const char* text;
    const char* previous;
    const char* answer;    // what the lookup gives
    bool reported;
    const char* reportedAnswer;
};

TEST_F(AsyncResolver, OnlyNewUsableAnswersAreReported)
{
    const std::vector<FilterCase> cases = {
        {"name, unchanged address", kPlugin, false, "same.test", "127.0.0.8", "127.0.0.8", false, ""},
        {"name, changed address", kPlugin, false, "moved.test", "127.0.0.8", "127.0.0.9", true, "127.0.0.9"},
        {"name, IPv6 only", 7, false, "v6.test", "", "::1", false, ""},
        {"name, no answer", 7, false, "nothing.invalid", "", "", false, ""},
        {"address, no answer", kPlugin, true, "127.0.0.50", "", "", false, ""},
        {"address, service id, no answer", 9, true, "127.0.0.51", "", "", false, ""},
        {"address, unchanged name", 9, true, "127.0.0.52", "known.test", "known.test", false, ""},
        {"address, new name", 9, true, "127.0.0.53", "old.test", "new.test", true, "new.test"},
    };
    for (const FilterCase& c : cases)
        fakes->answers.insert(QString::fromUtf8(c.text), QString::fromUtf8(c.answer));
    resolver->start();
    for (const FilterCase& c : cases)
        resolver->postAddForLookup(c.id, c.address, QString::fromUtf8(c.text), QString::fromUtf8(c.previous));
    finishWithSentinel();

    std::vector<Report> expected;
    for (const FilterCase& c : cases) {
        EXPECT_EQ(fakes->callsOf(QString::fromUtf8(c.text)), 1) << c.label;
        if (c.reported)
            expected.push_back({-1, c.id, c.address, QString::fromUtf8(c.text), QString::fromUtf8(c.reportedAnswer)});
    }
    expected.push_back({-1, kPlugin, false, QStringLiteral("sentinel.test"), QStringLiteral("127.0.0.99")});
    EXPECT_EQ(reports->all(), expected);
}

struct RepeatStep
{
    const char* label;
    SResolveReqId id;
    const char* previous;
    int reuseMs;
    const char* answer;    // what the lookup gives now
    bool lookedUp;
    const char* reported;  // empty: nothing
};

TEST_F(AsyncResolver, ARepeatWithTheRecentAnswerIsServedWithoutALookup)
{
    // Steps in order, on one text; each starts from the answers the steps before it left.
    const std::vector<RepeatStep> steps = {
        {"first request", kPlugin, "", 60000, "127.0.0.30", true, "127.0.0.30"},
        {"repeat holding the answer", kPlugin, "127.0.0.30", 60000, "127.0.0.30", false, ""},
        {"repeat holding an older answer", kPlugin, "127.0.0.29", 60000, "127.0.0.30", true, "127.0.0.30"},
        {"the service's request", 12, "127.0.0.30", 60000, "127.0.0.30", true, ""},
        {"answer changed, window passed", kPlugin, "127.0.0.30", 0, "127.0.0.31", true, "127.0.0.31"},
        {"repeat holding the changed answer", kPlugin, "127.0.0.31", 60000, "127.0.0.31", false, ""},
    };
    const QString text = QStringLiteral("repeat.test");
    resolver->start();
    int lookups = 0;
    std::vector<Report> expected;
    for (size_t i = 0; i < steps.size(); ++i) {
        const RepeatStep& step = steps[i];
        resolver->setAnswerReuseMs(step.reuseMs);
        fakes->setAnswer(text, QString::fromUtf8(step.answer));
        resolver->postAddForLookup(step.id, false, text, QString::fromUtf8(step.previous));
        // Lookups run in order: once this step's sentinel is reported, the step is decided.
        const QString sentinel = QStringLiteral("sentinel%1.test").arg(i);
        fakes->setAnswer(sentinel, QStringLiteral("127.0.1.%1").arg(i));
        resolver->postAddForLookup(kPlugin, false, sentinel, QString());
        ASSERT_TRUE(waitUntil([&] { return reports->hasText(sentinel); })) << step.label;
        lookups += step.lookedUp ? 1 : 0;
        EXPECT_EQ(fakes->callsOf(text), lookups) << step.label;
        if (*step.reported)
            expected.push_back({-1, step.id, false, text, QString::fromUtf8(step.reported)});
        expected.push_back({-1, kPlugin, false, sentinel, QStringLiteral("127.0.1.%1").arg(i)});
    }
    EXPECT_EQ(reports->all(), expected);
}

TEST_F(AsyncResolver, HangingLookupsAreGivenUpWithBoundedThreads)
{
    CapturedMessages messages;
    fakes->blocking = {QStringLiteral("stuck1.test"), QStringLiteral("stuck2.test")};
    fakes->answers.insert(QStringLiteral("after.test"), QStringLiteral("127.0.0.20"));
    resolver->setLookupTimeoutMs(200);
    resolver->setMaxAbandonedLookups(2);
    resolver->start();
    resolver->postAddForLookup(kPlugin, false, QStringLiteral("stuck1.test"), QString());
    resolver->postAddForLookup(kPlugin, false, QStringLiteral("stuck2.test"), QString());
    // Both helper threads hang now: this lookup is refused rather than queued behind them.
    resolver->postAddForLookup(kPlugin, false, QStringLiteral("after.test"), QString());
    ASSERT_TRUE(waitUntil([&] {
        return messages.count(QStringLiteral(
                   "warning: asynchronous resolver: lookup of after.test skipped, 2 earlier lookups have not returned"))
            == 1;
    }));
    EXPECT_EQ(messages.count(
                  QStringLiteral("warning: asynchronous resolver: no answer for stuck1.test within 200 ms, lookup given up")),
              1);
    EXPECT_EQ(fakes->callsOf(QStringLiteral("after.test")), 0);

    // When the hanging calls return, their threads end and lookups work again.
    fakes->release();
    ASSERT_TRUE(waitUntil([&] {
        resolver->postAddForLookup(kPlugin, false, QStringLiteral("after.test"), QString());
        return reports->hasText(QStringLiteral("after.test"));
    }));
    // the loop above may post after.test more than once; the given-up lookups never report
    EXPECT_FALSE(reports->hasText(QStringLiteral("stuck1.test")));
    EXPECT_FALSE(reports->hasText(QStringLiteral("stuck2.test")));
}

TEST_F(AsyncResolver, FailingLookupIsLoggedAndTheNextOneRuns)
{
    CapturedMessages messages;
    fakes->throwing.insert(QStringLiteral("boom.test"));
    resolver->start();
    resolver->postAddForLookup(kPlugin, false, QStringLiteral("boom.test"), QString());
    finishWithSentinel();
    EXPECT_EQ(messages.count(QStringLiteral("warning: exception in asynchronous resolver")), 1);
    EXPECT_EQ(reports->all().size(), 1u);
}

TEST_F(AsyncResolver, StopDoesNotWaitForAHangingLookupAndLaterPostsAreDropped)
{
    fakes->blocking.insert(QStringLiteral("stuck.test"));
    resolver->setLookupTimeoutMs(600000);
    resolver->start();
    resolver->postAddForLookup(kPlugin, false, QStringLiteral("stuck.test"), QString());
    ASSERT_TRUE(fakes->waitEntered(QStringLiteral("stuck.test")));
    resolver->stop();
    ASSERT_TRUE(resolver->wait(30000)) << "the thread ends although its lookup still hangs";
    resolver->postAddForLookup(kPlugin, false, QStringLiteral("late.test"), QString());
    EXPECT_EQ(fakes->callsOf(QStringLiteral("late.test")), 0);
    EXPECT_TRUE(reports->all().empty());
}

TEST(AsyncResolverSystem, DefaultLookupsReadTheHostsFile)
{
    QTemporaryDir dir;
    const QString error = privatenames::install(dir.path(), "127.0.0.1 localhost\n127.0.0.66 sixty-six.test\n"
                                                            "::1 v6only.test\n");
    ASSERT_TRUE(error.isEmpty()) << qPrintable(error);

    auto reports = std::make_shared<Reports>();
    CAsyncResolver resolver;
    resolver.setReporter([reports](int link, SResolveReqId id, bool address, const QString& text, const QString& answer) {
        reports->add({link, id, address, text, answer});
    });
    resolver.start();
    resolver.postAddForLookup(kPlugin, false, QStringLiteral("sixty-six.test"), QString());
    resolver.postAddForLookup(5, false, QStringLiteral("nothing.invalid"), QString());
    resolver.postAddForLookup(5, false, QStringLiteral("v6only.test"), QString());
    resolver.postAddForLookup(6, true, QStringLiteral("127.0.0.66"), QStringLiteral("old.test"));
    resolver.postAddForLookup(kPlugin, false, QStringLiteral("localhost"), QString());
    ASSERT_TRUE(waitUntil([&] { return reports->hasText(QStringLiteral("localhost")); }));
    const std::vector<Report> expected = {
        {-1, kPlugin, false, QStringLiteral("sixty-six.test"), QStringLiteral("127.0.0.66")},
        {-1, 6, true, QStringLiteral("127.0.0.66"), QStringLiteral("sixty-six.test")},
        {-1, kPlugin, false, QStringLiteral("localhost"), QStringLiteral("127.0.0.1")},
    };
    EXPECT_EQ(reports->all(), expected);
    resolver.stop();
    EXPECT_TRUE(resolver.wait(10000));
}

} // namespace
