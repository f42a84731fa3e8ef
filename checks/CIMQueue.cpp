#include "CIMQueue.h"

#include <algorithm>
#include <cstring>

namespace {

std::string copy(const char* text)
{
    return text ? std::string(text) : std::string();
}

}  // namespace

void CIMQueue::addToQueue(int id, const char* firstKey, const char* secondKey, const char* text)
{
    m_queue.push_back({id, copy(firstKey), copy(secondKey), copy(text)});
}

void CIMQueue::composeMessage(const char* firstKey, const char* secondKey)
{
    // Ids of an earlier message are done with: a later move must not send or fail them again.
    m_composed.clear();
    const std::string first = copy(firstKey);
    const std::string second = copy(secondKey);
    std::string message;
    int taken = 0;
    for (auto it = m_queue.begin(); it != m_queue.end() && taken < kMaxComposed;) {
        if (it->firstKey != first || it->secondKey != second) {
            ++it;
            continue;
        }
        message += it->text;
        message += '\n';
        m_composed.push_back(it->id);
        it = m_queue.erase(it);
        ++taken;
    }
    if (taken > 0)
        m_message = std::move(message);
}

void CIMQueue::moveComposedToSent()
{
    m_sent.insert(m_sent.end(), m_composed.begin(), m_composed.end());
    m_composed.clear();
}

void CIMQueue::moveComposedToFailed(const char* reason)
{
    std::optional<std::string> kept;
    if (reason && *reason)
        kept = std::string(reason);
    for (int id : m_composed)
        m_failed.emplace(id, kept);  // an id that failed before keeps its first reason
    m_composed.clear();
}

bool CIMQueue::isInQueue(int id) const
{
    return std::any_of(m_queue.begin(), m_queue.end(), [id](const Entry& e) { return e.id == id; })
        || std::find(m_composed.begin(), m_composed.end(), id) != m_composed.end();
}

bool CIMQueue::removeFromSent(int id)
{
    const auto it = std::find(m_sent.begin(), m_sent.end(), id);
    if (it == m_sent.end())
        return false;
    m_sent.erase(it);
    return true;
}

bool CIMQueue::removeFromFailed(int id, char* reasonOut)
{
    const auto it = m_failed.find(id);
    if (it == m_failed.end())
        return false;
    if (it->second && reasonOut) {
        size_t n = std::min(it->second->size(), kReasonSize - 1);
        // Never leave half a UTF-8 character at the end.
        while (n > 0 && n < it->second->size() && (static_cast<unsigned char>((*it->second)[n]) & 0xC0) == 0x80)
            --n;
        std::memcpy(reasonOut, it->second->data(), n);
        reasonOut[n] = '\0';
    }
    m_failed.erase(it);
    return true;
}
