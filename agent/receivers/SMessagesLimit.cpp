#include "SMessagesLimit.h"

SMessagesLimit::Verdict SMessagesLimit::onMessage(qint64 nowMs, int& remainingSeconds)
{
    // Whole seconds passed, as a wall-clock secsTo would count them.
    const qint64 elapsed = windowOpen ? (nowMs - windowStartMs) / 1000 : 0;
    if (windowOpen && elapsed < windowSeconds) {
        if (acceptedCount < maxMessages) {
            ++acceptedCount;
            limitReported = false;
            return Deliver;
        }
        if (limitReported)
            return Drop;
        limitReported = true;
        remainingSeconds = static_cast<int>(windowSeconds - elapsed);
        return ReportLimit;
    }
    windowOpen = true;
    windowStartMs = nowMs;
    acceptedCount = 1;
    limitReported = false;
    return Deliver;
}

QString remainingTimeText(int r)
{
    if (r < 0)
        return QString();
    QString text;
    if (r >= 3600) {
        text += QString::number(r / 3600) + QLatin1String(" hour") + QLatin1String(r >= 7200 ? "s " : " ");
        r %= 3600;
    }
    if (r >= 60) {
        text += QString::number(r / 60) + QLatin1String(" minute") + QLatin1String(r >= 120 ? "s " : " ");
        r %= 60;
    }
    text += QString::number(r) + QLatin1String(" second") + QLatin1String(r >= 2 ? "s" : "");
    return text;
}

QString messagesLimitText(int remainingSeconds)
{
    return QStringLiteral("Accepted messages limit has been exceeded. All messages within next %1 will be ignored.")
        .arg(remainingTimeText(remainingSeconds));
}
