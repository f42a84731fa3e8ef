#pragma once
// Runs the event loop until a condition holds or the time is up. Use this instead of QTest's
// QTRY_* macros: those report failures through QTest's own log, which a GoogleTest program
// does not see (a failed QTRY_* there only returns from the test silently).
#include <QElapsedTimer>
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
