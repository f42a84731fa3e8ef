#include "CUrl.h"

namespace {

// Percent escapes are resolved before parsing, so an escaped "/" or "?" in the path acts as a
// separator. The user information is left encoded: a decoded "@", ":" or "/" there would move
// the host and the port somewhere else.
QString decodeForParsing(const QString& text)
{
    const int sep = text.indexOf(QLatin1String("://"));
    if (sep >= 0) {
        const int authorityStart = sep + 3;
        int authorityEnd = text.size();
        for (QChar c : {QLatin1Char('/'), QLatin1Char('?'), QLatin1Char('#')}) {
            const int i = text.indexOf(c, authorityStart);
            if (i >= 0 && i < authorityEnd)
                authorityEnd = i;
        }
        const int at = text.lastIndexOf(QLatin1Char('@'), authorityEnd - 1);
        if (at >= authorityStart) {
            return QUrl::fromPercentEncoding(text.left(authorityStart).toUtf8())
                   + text.mid(authorityStart, at - authorityStart)
                   + QUrl::fromPercentEncoding(text.mid(at).toUtf8());
        }
    }
    return QUrl::fromPercentEncoding(text.toUtf8());
}

} // namespace

CUrl::CUrl(const QString& text)
{
    setUrl(decodeForParsing(text), QUrl::TolerantMode);
}

CUrl::CUrl(const QUrl& url) : QUrl(url) {}

int CUrl::defaultPort(const QString& scheme)
{
    const QString s = scheme.toLower();
    if (s == QLatin1String("http"))
        return 80;
    if (s == QLatin1String("https"))
        return 443;
    if (s == QLatin1String("ftp"))
        return 21;
    if (s == QLatin1String("ftps"))
        return 990;
    if (s == QLatin1String("sftp"))
        return 22;
    return -1;
}

QString CUrl::hostUtf8() const
{
    return QUrl::fromAce(host(QUrl::FullyEncoded).toLatin1());
}

QString CUrl::hostPort(bool omitDefaultPort) const
{
    QString out = hostUtf8();
    const int p = port();
    if (p != -1 && !(omitDefaultPort && p == defaultPort(scheme())))
        out += QStringLiteral(":%1").arg(p);
    return out;
}

QString CUrl::tail() const
{
    QString t = QUrl::toString(QUrl::RemoveScheme | QUrl::RemoveAuthority);
    if (t.startsWith(QLatin1Char('/')))
        t.remove(0, 1);
    return t;
}

QString CUrl::toString(bool omitDefaultPort) const
{
    QString out;
    if (!scheme().isEmpty())
        out = scheme() + QLatin1String("://");
    return out + hostPort(omitDefaultPort) + QLatin1Char('/') + tail();
}

void CUrl::setTail(const QString& tail)
{
    QString text;
    if (!scheme().isEmpty())
        text = scheme() + QLatin1String("://");
    text += hostPort(false) + QLatin1Char('/') + tail;
    // A fresh QUrl: setUrl() on this one would keep the old user name readable.
    QUrl::operator=(QUrl(text, QUrl::TolerantMode));
}

bool CUrl::isSecured() const
{
    const QString s = scheme().toLower();
    return s == QLatin1String("https") || s == QLatin1String("ftps") || s == QLatin1String("sftp");
}
