#include "CHttpRegexpResponseValidator.h"

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
