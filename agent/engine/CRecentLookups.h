#pragma once
#include <QHash>
#include <QMutex>
#include <QString>

#include <chrono>

// What the background resolver's lookups answered a moment ago, so that a poll asking again
// for the same text with the answer it already holds is served without a lookup (no resolver
// wake-up, no helper thread hand-over, no name file read). An answer is reused for a short
// window only: a changed answer is still found by the first lookup after it.
// Threads: any thread; m_mutex guards the table.
class CRecentLookups
{
public:
    static constexpr int kDefaultReuseMs = 1000;
    static constexpr int kMaxEntries = 4096;

    // True when a lookup of text (an address to name when addressFlag) answered previousAnswer
    // within the window: a new lookup would report nothing.
    bool knows(bool addressFlag, const QString& text, const QString& previousAnswer) const;
    // A lookup of text gave answer now (empty: no answer).
    void remember(bool addressFlag, const QString& text, const QString& answer);
    void setReuseMs(int ms);

private:
    using Clock = std::chrono::steady_clock;
    struct Entry
    {
        QString answer;
        Clock::time_point at;
    };

    mutable QMutex m_mutex;
    QHash<QString, Entry> m_names;       // text -> address, name lookups
    QHash<QString, Entry> m_addresses;   // text -> name, address lookups
    Clock::duration m_window = std::chrono::milliseconds(kDefaultReuseMs);
};
