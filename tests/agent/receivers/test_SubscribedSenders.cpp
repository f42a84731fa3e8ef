// The subscribed senders as the connector thread asks them: every answer follows the last
// published set, however the questions run.
#include "receivers/SubscribedSenders.h"

#include <gtest/gtest.h>

namespace {

TEST(SubscribedSenders, AnswersFollowTheLastPublishedSet)
{
    SubscribedSenders senders;
    EXPECT_FALSE(senders.contains(QStringLiteral("127.0.0.1")));
    struct Step
    {
        QSet<QString> published;
        const char* sender;
        bool wanted;
    };
    const QString a = QStringLiteral("127.0.0.1"), b = QStringLiteral("127.0.0.2");
    const Step steps[] = {
        {{a}, "127.0.0.1", true},  {{a}, "127.0.0.1", true},  {{a}, "127.0.0.2", false}, {{a}, "127.0.0.1", true},
        {{b}, "127.0.0.1", false}, {{b}, "127.0.0.2", true},  {{b}, "127.0.0.2", true},  {{}, "127.0.0.2", false},
        {{a, b}, "127.0.0.2", true}, {{a, b}, "", false},     {{a, b}, "127.0.0.1", true},
    };
    QSet<QString> current;
    bool first = true;
    for (const Step& s : steps) {
        // republished only when it changes, so runs of questions meet an unchanged set
        if (first || s.published != current) {
            senders.publish(s.published);
            current = s.published;
            first = false;
        }
        EXPECT_EQ(senders.contains(QString::fromLatin1(s.sender)), s.wanted) << s.sender;
    }
}

} // namespace
