#pragma once
#include <QString>
#include <QtGlobal>

// One monitor's accepted-messages limit: at most maxMessages per window of windowSeconds,
// the window opened by the first message accepted. Times are milliseconds of a monotonic
// clock, so a step of the wall clock neither opens nor stretches a window.
// Threads: none of its own; the receiver's manager uses it under its manager mutex.
struct SMessagesLimit
{
    enum Verdict {
        Deliver,      // counted; the message goes to the monitor
        ReportLimit,  // first refusal of this window: one limit event, the message dropped
        Drop,         // later refusals of the window: dropped silently
    };

    // Decides for one message that the monitor's filters accepted at nowMs. For ReportLimit,
    // remainingSeconds is what is left of the window.
    Verdict onMessage(qint64 nowMs, int& remainingSeconds);

    bool windowOpen = false;
    qint64 windowStartMs = 0;
    int acceptedCount = 0;
    bool limitReported = false;
    int maxMessages = 0;
    int windowSeconds = 0;
};

// "1 hour 2 minutes 5 seconds", "1 minute 1 second", "0 second"; empty below 0.
QString remainingTimeText(int seconds);
// The limit event's text with the remaining time filled in.
QString messagesLimitText(int remainingSeconds);
