#include "CHttpCaseInsensResponseValidator.h"

#include <algorithm>

CHttpCaseInsensResponseValidator::CHttpCaseInsensResponseValidator(int mode, const QByteArray& text)
    : CHttpResponseValidator(mode), m_alternatives(alternatives(text))
{
    int longest = 0;
    for (const QString& alt : m_alternatives)
        longest = std::max(longest, alt.size());
    // A UTF-16 unit takes at most 3 UTF-8 bytes; 3 more cover a character cut at the front.
    m_keepBytes = longest * 3 + 3;
}

bool CHttpCaseInsensResponseValidator::validateResponse(const char* data, size_t length)
{
    if (!data || m_found) {
        m_tail.clear();
        return true;
    }
    m_tail.append(data, static_cast<int>(length));
    const QString text = QString::fromUtf8(m_tail);
    for (const QString& alt : m_alternatives) {
        if (text.contains(alt, Qt::CaseInsensitive)) {
            m_found = true;
            m_tail.clear();
            return true;
        }
    }
    if (m_tail.size() > m_keepBytes)
        m_tail = m_tail.right(m_keepBytes);
    return true;
}

void CHttpCaseInsensResponseValidator::reset()
{
    CHttpResponseValidator::reset();
    m_tail.clear();
}
