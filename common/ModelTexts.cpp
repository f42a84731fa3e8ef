#include "ModelTexts.h"

#include <QRegularExpression>

QString sanitizeFileName(const QString& name)
{
    QString out = name;
    for (QChar& c : out) {
        const ushort u = c.unicode();
        if (u == '/' || u == '\\' || u == ':' || u == '*' || u == '\'' || u == '"')
            c = QLatin1Char('-');
    }
    return out;
}

namespace {

QString normalMonitorUrl(const QString& url)
{
    // ":80" only as a whole port, so that ":8080" keeps its port.
    static const QRegularExpression httpDefault(QStringLiteral("\\$hostip:80(?!\\d)"));
    static const QRegularExpression httpsDefault(QStringLiteral("^https://\\$hostip:443"));
    static const QRegularExpression trailingSlash(QStringLiteral("\\$hostip(:\\d+)?/$"));
    QString s = url.toLower();
    s.replace(QLatin1String("$hostdns"), QLatin1String("$hostip"));
    s.replace(httpDefault, QStringLiteral("$hostip"));
    s.replace(httpsDefault, QStringLiteral("https://$hostip"));
    s.replace(trailingSlash, QStringLiteral("$hostip\\1"));
    return s;
}

} // namespace

bool sameMonitorUrl(const QString& a, const QString& b)
{
    return normalMonitorUrl(a) == normalMonitorUrl(b);
}

QString monitorText(int id, const Optional<QString>& name, const Optional<QString>& host)
{
    return QStringLiteral("monitor %1 (%2 on %3)").arg(id).arg(name.value(), host.value());
}

QString actionText(int id, const Optional<QString>& name)
{
    return QStringLiteral("action %1 (%2)").arg(id).arg(name.value());
}
