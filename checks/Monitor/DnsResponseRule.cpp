#include "DnsResponseRule.h"

#include <QRegExp>

DnsResponseRule::DnsResponseRule(int flags, const QString& text)
    : m_flags(flags), m_alternatives(text.split(QChar(0x00A0)))
{
    if (m_alternatives.isEmpty())
        m_flags = 0;
}

DnsResponseRule DnsResponseRule::fromMonitor(const stZamMonitor* mon, int index)
{
    if (mon == nullptr || (index != 0 && index != 1))
        return DnsResponseRule();
    const stZamResponseValidationInfo& info = mon->validation[index];
    return DnsResponseRule(info.flags, QString::fromUtf8(info.text ? info.text : ""));
}

bool DnsResponseRule::holds(const std::vector<std::string>& values, QString* lastValue) const
{
    if (!active() || m_alternatives.isEmpty())
        return true;
    const Qt::CaseSensitivity cs = (m_flags & ZAM_VALIDATE_NOCASE) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const int mode = m_flags & (ZAM_VALIDATE_EXACT | ZAM_VALIDATE_REGEXP);
    std::vector<QRegExp> patterns;
    if (mode & ZAM_VALIDATE_REGEXP) {
        for (const QString& alternative : m_alternatives)
            patterns.emplace_back(alternative, cs);
    }
    bool found = false;
    QString examined;
    for (const std::string& bytes : values) {
        examined = QString::fromStdString(bytes);
        for (int i = 0; i < m_alternatives.size() && !found; ++i) {
            switch (mode) {
            case 0:
                found = examined.contains(m_alternatives[i], cs);
                break;
            case ZAM_VALIDATE_EXACT:
                found = examined.compare(m_alternatives[i], cs) == 0;
                break;
            case ZAM_VALIDATE_REGEXP:
                found = patterns[i].isValid() && patterns[i].indexIn(examined) != -1;
                break;
            default:
                found = patterns[i].isValid() && patterns[i].exactMatch(examined);
                break;
            }
        }
        if (found)
            break;
    }
    if (m_flags & ZAM_VALIDATE_INVERT)
        found = !found;
    if (!found && lastValue)
        *lastValue = examined;
    return found;
}
