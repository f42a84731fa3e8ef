#include "CUrl.h"

CUrl::CUrl(const QString& text)
{
    setUrl(QUrl::fromPercentEncoding(text.toUtf8()), QUrl::TolerantMode);
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
    setUrl(text, QUrl::TolerantMode);
}

bool CUrl::isSecured() const
{
    const QString s = scheme().toLower();
    return s == QLatin1String("https") || s == QLatin1String("ftps") || s == QLatin1String("sftp");
}
