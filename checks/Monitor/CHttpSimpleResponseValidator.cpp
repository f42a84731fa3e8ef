#include "CHttpSimpleResponseValidator.h"

#include <algorithm>
#include <cstring>
#include <functional>

bool CHttpSimpleResponseValidatorElement::validate(const char* data, size_t length)
{
    const size_t p = static_cast<size_t>(m_pattern.size());
    if (p == 0)
        return true;
    const char* pat = m_pattern.constData();

    std::vector<size_t> next;
    for (size_t k : m_pending) {
        const size_t n = std::min(length, p - k);
        if (std::memcmp(data, pat + k, n) != 0)
            continue;
        if (k + n == p)
            return true;
        next.push_back(k + n);
    }
    if (length >= p && memmem(data, length, pat, p))
        return true;
    // Prefixes of the pattern that end this chunk, short chunks included.
    for (size_t n = std::min(p - 1, length); n >= 1; --n) {
        if (std::memcmp(data + length - n, pat, n) == 0)
            next.push_back(n);
    }
    std::sort(next.begin(), next.end(), std::greater<size_t>());
    next.erase(std::unique(next.begin(), next.end()), next.end());
    m_pending.swap(next);
    return false;
}

CHttpSimpleResponseValidator::CHttpSimpleResponseValidator(int mode, const QByteArray& text)
    : CHttpResponseValidator(mode)
{
    for (const QString& alt : alternatives(text))
        m_elements.append(CHttpSimpleResponseValidatorElement(alt.toUtf8()));
}

bool CHttpSimpleResponseValidator::validateResponse(const char* data, size_t length)
{
    if (!data)
        return true;
    for (auto& element : m_elements) {
        if (m_found)
            break;
        m_found = element.validate(data, length);
    }
    return true;
}

void CHttpSimpleResponseValidator::reset()
{
    CHttpResponseValidator::reset();
    for (auto& element : m_elements)
        element.reset();
}
