#include "RateLimitedLog.h"

bool RateLimitedLog::note(qint64 nowMs, quint64& count, quint64 n)
{
    m_total += n;
    m_pending += n;
    if (m_anyLine && nowMs - m_lastLineMs < m_intervalMs)
        return false;
    m_anyLine = true;
    m_lastLineMs = nowMs;
    count = m_pending;
    m_pending = 0;
    return true;
}

bool RateLimitedLog::flush(quint64& count)
{
    if (m_pending == 0)
        return false;
    count = m_pending;
    m_pending = 0;
    return true;
}
