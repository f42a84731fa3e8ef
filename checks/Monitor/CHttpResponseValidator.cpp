#include "CHttpResponseValidator.h"

#include <algorithm>
#include <cstring>

namespace {
const QChar kSeparator(0x00A0);
}

bool CHttpResponseValidator::isOk() const
{
    if (!(m_mode & Active))
        return true;
    return (m_mode & Inverted) ? !m_found : m_found;
}

QStringList CHttpResponseValidator::alternatives(const QByteArray& text)
{
    return QString::fromUtf8(text).split(kSeparator);
}

CHttpResponseValidator* CHttpResponseValidator::create(int flags, const QByteArray& text)
{
    if (!(flags & Active))
        return new CHttpNullResponseValidator(flags);
    if (flags & Regexp)
        return new CHttpRegexpResponseValidator(flags, text);
    if (flags & NoCase)
        return new CHttpCaseInsensResponseValidator(flags, text);
    return new CHttpSimpleResponseValidator(flags, text);
}

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

CHttpRegexpResponseValidator::CHttpRegexpResponseValidator(int mode, const QByteArray& text)
    : CHttpResponseValidator(mode)
{
    const Qt::CaseSensitivity cs = (mode & NoCase) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (const QString& alt : alternatives(text))
        m_expressions.append(QRegExp(alt, cs, QRegExp::RegExp));
}

bool CHttpRegexpResponseValidator::validateResponse(const char* data, size_t length)
{
    if (m_overflow)
        return false;
    if (data) {
        if (length > kMaxResponseBytes - static_cast<size_t>(m_response.size())) {
            m_overflow = true;
            m_response.clear();
            m_response.squeeze();
            return false;
        }
        m_response.append(data, static_cast<int>(length));
        return true;
    }
    const QString text = QString::fromUtf8(m_response);
    for (QRegExp& re : m_expressions) {
        if (re.indexIn(text, 0) >= 0) {
            m_found = true;
            break;
        }
    }
    m_response.clear();
    return true;
}

void CHttpRegexpResponseValidator::reset()
{
    CHttpResponseValidator::reset();
    m_response.clear();
    m_overflow = false;
}

QString CHttpRegexpResponseValidator::error() const
{
    if (!m_overflow)
        return QString();
    return QStringLiteral("Response is larger than %1 MiB, the limit of a regular-expression rule")
        .arg(kMaxResponseBytes / (1024 * 1024));
}
