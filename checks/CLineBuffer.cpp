#include "CLineBuffer.h"

#include <cstring>

void CLineBuffer::append(const char* data, size_t length)
{
    if (!data || !length)
        return;
    // drop what was read once it is the larger part, so appends stay amortised O(n)
    if (m_pos > 0 && m_pos >= m_data.size() / 2) {
        m_data.erase(0, m_pos);
        m_pos = 0;
    }
    m_data.append(data, length);
}

bool CLineBuffer::takeLine(std::string& line)
{
    const size_t have = size();
    const char* begin = m_data.data() + m_pos;
    const void* nl = have > m_scanned ? std::memchr(begin + m_scanned, '\n', have - m_scanned) : nullptr;
    if (nl) {
        const size_t rawLength = static_cast<size_t>(static_cast<const char*>(nl) - begin);
        size_t length = rawLength;
        if (length > 0 && begin[length - 1] == '\r')
            --length;
        if (length > kLongLineCut) {
            // the line end lies beyond a cut: hand out the next piece first
            line.assign(begin, kLongLineCut);
            m_pos += kLongLineCut;
            m_scanned = 0;
            return true;
        }
        line.assign(begin, length);
        m_pos += rawLength + 1;
        m_scanned = 0;
        if (empty())
            clear();
        return true;
    }
    m_scanned = have;
    // two bytes more than the cut: even a "\r\n" still to come leaves a line longer than it
    if (have >= kLongLineCut + 2) {
        line.assign(begin, kLongLineCut);
        m_pos += kLongLineCut;
        m_scanned = size();
        return true;
    }
    return false;
}

void CLineBuffer::takeAll(std::string& text)
{
    text.assign(m_data, m_pos, std::string::npos);
    clear();
}

void CLineBuffer::clear()
{
    m_data.clear();
    m_pos = 0;
    m_scanned = 0;
}
