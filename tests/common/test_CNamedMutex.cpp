#include "common/CNamedMutex.h"

#include <gtest/gtest.h>

#include <thread>

TEST(CNamedMutex, NamePrefixAndLocking)
{
    const struct {
        const char* given;
        const char* name;
    } names[] = {{"agent", "Global\\agent"}, {"Global\\agent", "Global\\agent"}, {"Local\\x", "Local\\x"},
                 {"global\\x", "Global\\global\\x"}};
    for (const auto& n : names)
        EXPECT_EQ(CNamedMutex(QString::fromLatin1(n.given)).name(), QString::fromLatin1(n.name));

    CNamedMutex mutex(QStringLiteral("agent"));
    EXPECT_TRUE(mutex.isInitialized());
    mutex.unlock();   // not held: nothing happens
    {
        CNamedMutexLocker locker(mutex);
        mutex.lock();   // held by this thread: answers at once
        EXPECT_TRUE(mutex.isHeld());
        bool otherGotIt = true;
        std::thread other([&] {
            // Another thread would block; it only peeks.
            otherGotIt = !mutex.isHeld();
        });
        other.join();
        EXPECT_FALSE(otherGotIt);
    }
    EXPECT_FALSE(mutex.isHeld());
    std::thread taker([&] {
        CNamedMutexLocker locker(mutex);
        EXPECT_TRUE(mutex.isHeld());
    });
    taker.join();
    EXPECT_FALSE(mutex.isHeld());
}
