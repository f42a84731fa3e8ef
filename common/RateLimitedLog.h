#pragma once
#include <QtGlobal>

// Counts occurrences of one kind of trouble and says when a log line about them is due: at
// the first one, then at most once per interval, with the count since the previous line. Any
// host can send datagrams, so nothing it sends may write a log line each time.
// Threads: none; used by one thread (its owner's).
class RateLimitedLog
{
public:
    explicit RateLimitedLog(qint64 intervalMs) : m_intervalMs(intervalMs) {}

    // Counts n occurrences at nowMs (monotonic). True when a line is due; count then holds
    // the occurrences since the last line (these included), and the tally starts again.
    bool note(qint64 nowMs, quint64& count, quint64 n = 1);
    // True when occurrences are counted that no line has reported yet; count as for note.
    bool flush(quint64& count);
    quint64 total() const { return m_total; }

private:
    const qint64 m_intervalMs;
    qint64 m_lastLineMs = 0;
    bool m_anyLine = false;
    quint64 m_pending = 0;
    quint64 m_total = 0;
};
