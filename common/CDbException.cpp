#include "CDbException.h"

#include <QRegularExpression>

CDbException::CDbException(const QString& message, int code, const QString& detail)
    : std::runtime_error(message.toLatin1().toStdString()), m_code(code), m_detail(detail)
{
    static const QRegularExpression fbe(QStringLiteral("^<fbe>(\\d\\d*)</fbe>(.*)$"),
                                        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = fbe.match(detail);
    if (!m.hasMatch())
        return;
    const qlonglong n = m.captured(1).toLongLong();
    m_detail = m.captured(2);
    switch (code) {
    case -902:
        if (n == 335544344) {
            if (m_detail.contains(QLatin1String("Reached the end of the file.")))
                m_code = 5;
            else if (m_detail.contains(QLatin1String("The system cannot find the file specified.")))
                m_code = 6;
            else
                m_code = 9;
        } else if (n == 335544472) {
            m_code = 3;
        } else {
            m_code = 10;
        }
        break;
    case -901:
    case -85:
        m_code = 10;
        break;
    case -836:
        if (m_detail.contains(QLatin1String("KEYVIOLATION")))
            m_code = 13;
        break;
    default:
        break;
    }
}

CDbException::~CDbException() = default;
