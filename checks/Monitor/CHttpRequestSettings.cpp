#include "CHttpRequestSettings.h"

#include <QRegularExpression>
#include <QStringList>

#include <curl/curl.h>

CHttpRequestSettings::~CHttpRequestSettings()
{
    cleanupHeaders();
}

namespace {

// Whether the text starts with a scheme ("name://"). A shared QRegularExpression may be used
// from every polling thread at once, unlike QRegExp.
bool hasScheme(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^\\w+:\\/\\/"), QRegularExpression::UseUnicodePropertiesOption);
    return re.match(text).hasMatch();
}

}  // namespace

QUrl CHttpRequestSettings::prepareHttpHttpsUrl(const char* text)
{
    QString s = QString::fromUtf8(text ? text : "");
    if (s.isEmpty())
        return QUrl();
    if (!hasScheme(s))
        s.prepend(QStringLiteral("http://"));
    const QUrl url(s, QUrl::TolerantMode);
    if (!url.isValid() || url.host().isEmpty())
        return QUrl();
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        return QUrl();
    return url;
}

bool CHttpRequestSettings::setUrl(const QUrl& url)
{
    if (url.isValid())
        m_url = url;
    return url.isValid();
}

bool CHttpRequestSettings::setUrl(const char* text)
{
    return setUrl(prepareHttpHttpsUrl(text));
}

bool CHttpRequestSettings::setProxyUrl(const QUrl& url)
{
    if (url.isValid() && !url.host().isEmpty()) {
        m_proxyUrl = url;
        m_proxyText = url.toEncoded();
    }
    return url.isValid() && !url.host().isEmpty();
}

bool CHttpRequestSettings::setProxyUrl(const char* text)
{
    const QString s = QString::fromUtf8(text ? text : "");
    if (s.isEmpty())
        return false;
    // A proxy may be given as host:port or with any scheme libcurl knows (socks5:// ...).
    if (!setProxyUrl(QUrl(hasScheme(s) ? s : QStringLiteral("http://") + s, QUrl::TolerantMode)))
        return false;
    // libcurl gets the text as given: a scheme put in front here would override the proxy type.
    m_proxyText = s.toUtf8();
    return true;
}

bool CHttpRequestSettings::setHttpVersion(long v)
{
    switch (v) {
    case 1:
        m_httpVersion = 2;
        return true;
    case 2: case 3: case 4: case 5: case 30: case 31:
        m_httpVersion = static_cast<unsigned>(v);
        return true;
    default:
        return false;
    }
}

bool CHttpRequestSettings::setMeasureStart(long v)
{
    if (v < 0 || v > 2)
        return false;
    m_measureStart = static_cast<EMeasureHttpStartTime>(v);
    return true;
}

bool CHttpRequestSettings::setMeasureFinish(long v)
{
    if (v < 0 || v > 1)
        return false;
    m_measureFinish = static_cast<EMeasureHttpEndTime>(v);
    return true;
}

bool CHttpRequestSettings::setProxyType(long v)
{
    if (v != 0 && v != 1 && v != 5 && v != 6)
        return false;
    m_proxyType = v;
    return true;
}

bool CHttpRequestSettings::setCustomHeaders(const char* text)
{
    cleanupHeaders();
    const QStringList lines = QString::fromLatin1(text ? text : "").split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString line : lines) {
        // A line ending in "\r\n" loses its "\r"; any other control character would let a
        // header smuggle further lines or break the request.
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        for (const QChar c : line) {
            if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
                cleanupHeaders();
                return false;
            }
        }
        if (line.isEmpty())
            continue;
        const int colon = line.indexOf(QLatin1Char(':'));
        if (colon >= 0 && colon == line.size() - 1)
            line.replace(QLatin1Char(':'), QLatin1Char(';'));
        m_headers = curl_slist_append(m_headers, line.toLatin1().constData());
    }
    return true;
}

void CHttpRequestSettings::cleanupHeaders()
{
    curl_slist_free_all(m_headers);
    m_headers = nullptr;
}

bool CHttpRequestSettings::isValid() const
{
    if (!m_url.isValid() || m_requestType == RequestNone)
        return false;
    return m_proxyType == 0 || m_proxyUrl.isValid();
}

int CHttpRequestSettings::apply(void* handle) const
{
    CURL* curl = static_cast<CURL*>(handle);
    CURLcode rc = curl_easy_setopt(curl, CURLOPT_URL, m_url.toEncoded().constData());
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(curl, CURLOPT_USERAGENT, m_userAgent.constData());
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(m_httpVersion));
    // Credentials only when given: otherwise libcurl would answer every 401 with an empty pair.
    if (rc == CURLE_OK && !m_login.isEmpty()) {
        rc = curl_easy_setopt(curl, CURLOPT_USERPWD, (m_login + ':' + m_password).constData());
        if (rc == CURLE_OK)
            rc = curl_easy_setopt(curl, CURLOPT_HTTPAUTH, static_cast<unsigned long>(0xFFFFFFEF));
    }
    if (rc == CURLE_OK && m_requestType == RequestPost) {
        rc = curl_easy_setopt(curl, CURLOPT_POST, 1L);
        if (rc == CURLE_OK)
            rc = curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(m_postData.size()));
        if (rc == CURLE_OK)
            rc = curl_easy_setopt(curl, CURLOPT_COPYPOSTFIELDS, m_postData.constData());
    }
    if (rc == CURLE_OK && m_useCustomHeaders && m_headers)
        rc = curl_easy_setopt(curl, CURLOPT_HTTPHEADER, m_headers);
    if (rc == CURLE_OK) {
        if (m_proxyType != 0) {
            rc = curl_easy_setopt(curl, CURLOPT_PROXYTYPE, m_proxyType - 1);
            if (rc == CURLE_OK)
                rc = curl_easy_setopt(curl, CURLOPT_PROXY, m_proxyText.constData());
            if (rc == CURLE_OK && !m_proxyLogin.isEmpty())
                rc = curl_easy_setopt(curl, CURLOPT_PROXYUSERPWD, (m_proxyLogin + ':' + m_proxyPassword).constData());
        } else {
            rc = curl_easy_setopt(curl, CURLOPT_PROXY, "");
        }
    }
    if (rc == CURLE_OK) {
        if (m_ignoreTlsErrors) {
            rc = curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
            if (rc == CURLE_OK)
                rc = curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
            if (rc == CURLE_OK)
                rc = curl_easy_setopt(curl, CURLOPT_SSL_CIPHER_LIST, "LOW:MEDIUM:HIGH");
        } else {
            rc = curl_easy_setopt(curl, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NATIVE_CA));
        }
    }
    return rc;
}
