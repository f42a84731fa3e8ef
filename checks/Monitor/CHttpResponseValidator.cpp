#include "CHttpResponseValidator.h"

#include "CHttpCaseInsensResponseValidator.h"
#include "CHttpRegexpResponseValidator.h"
#include "CHttpSimpleResponseValidator.h"

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
