#pragma once
// Runs the event loop until a condition holds or the time is up. Use this instead of QTest's
// QTRY_* macros: those report failures through QTest's own log, which a GoogleTest program
// does not see (a failed QTRY_* there only returns from the test silently).
#include <QElapsedTimer>
#include <QMetaObject>
#include <QObject>
#include <QTest>

template <class Condition>
bool waitUntil(Condition condition, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QTest::qWait(5);
    }
    return true;
}

// Runs the event loop until everything posted to this thread before the call has been
// delivered: a marker posted now comes after it. Lets a test show that something did not
// happen (a queued call that would have done it has had its turn) without a sleep.
inline bool drainPostedEvents(int timeoutMs = 10000)
{
    QObject receiver;
    bool reached = false;
    QMetaObject::invokeMethod(&receiver, [&reached] { reached = true; }, Qt::QueuedConnection);
    return waitUntil([&reached] { return reached; }, timeoutMs);
}
