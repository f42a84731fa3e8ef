#include "engine/CRecentLookups.h"

#include <QMutexLocker>

bool CRecentLookups::knows(bool addressFlag, const QString& text, const QString& previousAnswer) const
{
    const QHash<QString, Entry>& table = addressFlag ? m_addresses : m_names;
    QMutexLocker locker(&m_mutex);
    if (m_window <= Clock::duration::zero())
        return false;
    const auto it = table.constFind(text);
    if (it == table.constEnd() || Clock::now() - it->at >= m_window)
        return false;
    // No answer is never reported to a plug-in's request, whatever it held.
    return it->answer.isEmpty() || it->answer == previousAnswer;
}

void CRecentLookups::remember(bool addressFlag, const QString& text, const QString& answer)
{
    QHash<QString, Entry>& table = addressFlag ? m_addresses : m_names;
    const Clock::time_point now = Clock::now();
    QMutexLocker locker(&m_mutex);
    if (table.size() >= kMaxEntries && !table.contains(text)) {
        for (auto it = table.begin(); it != table.end();)
            it = now - it->at >= m_window ? table.erase(it) : std::next(it);
        if (table.size() >= kMaxEntries)
            table.clear();   // bounded: many texts in one window are simply looked up again
    }
    table.insert(text, Entry{answer, now});
}

void CRecentLookups::setReuseMs(int ms)
{
    QMutexLocker locker(&m_mutex);
    m_window = std::chrono::milliseconds(ms < 0 ? 0 : ms);
}
