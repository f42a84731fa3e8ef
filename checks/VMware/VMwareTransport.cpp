#include "VMwareTransport.h"

#include <curl/curl.h>

#include <QHostAddress>

namespace {

// Built once, never freed; libcurl only reads it.
curl_slist* soapHeaders()
{
    static curl_slist* const list = [] {
        curl_slist* l = curl_slist_append(nullptr, "Content-Type: application/soap+xml");
        // no "100-continue" round trip before larger bodies
        return curl_slist_append(l, "Expect:");
    }();
    return list;
}

}  // namespace

VMwareTransport::VMwareTransport() = default;

VMwareTransport::~VMwareTransport()
{
    if (m_curl)
        curl_easy_cleanup(static_cast<CURL*>(m_curl));
}

void VMwareTransport::setHost(const QString& host)
{
    QString authority = host.trimmed();
    QHostAddress address;
    if (authority.count(QLatin1Char(':')) > 1 && !authority.startsWith(QLatin1Char('[')) && address.setAddress(authority))
        authority = QLatin1Char('[') + authority + QLatin1Char(']');
    m_url = QStringLiteral("https://%1/sdk/vimService").arg(authority);
}

bool VMwareTransport::prepare()
{
    if (!m_curl)
        m_curl = curl_easy_init();
    CURL* curl = static_cast<CURL*>(m_curl);
    if (!curl)
        return false;
    bool ok = curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L) == CURLE_OK
        && curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https") == CURLE_OK
        && curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK
        && curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L) == CURLE_OK
        && curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L) == CURLE_OK
        && curl_easy_setopt(curl, CURLOPT_HTTPHEADER, soapHeaders()) == CURLE_OK
        && curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &VMwareTransport::onBody) == CURLE_OK
        && curl_easy_setopt(curl, CURLOPT_WRITEDATA, this) == CURLE_OK
        && curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &VMwareTransport::onHeader) == CURLE_OK
        && curl_easy_setopt(curl, CURLOPT_HEADERDATA, this) == CURLE_OK
        && curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &VMwareTransport::onProgress) == CURLE_OK
        && curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this) == CURLE_OK
        && curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
    return ok;
}

VMwareTransport::Outcome VMwareTransport::post(const QByteArray& request, int limitMs)
{
    m_body.clear();
    m_status = 0;
    m_tooLarge = false;
    m_stopped = false;
    m_detail.clear();
    if (!prepare()) {
        m_detail = QStringLiteral("cannot set up libcurl");
        return NoConnection;
    }
    CURL* curl = static_cast<CURL*>(m_curl);
    const QByteArray url = m_url.toUtf8();
    const QByteArray cookies = cookieHeader();
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(request.size()));
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.constData());
    curl_easy_setopt(curl, CURLOPT_COOKIE, cookies.isEmpty() ? nullptr : cookies.constData());
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(limitMs > 0 ? limitMs : 1));
    const CURLcode rc = curl_easy_perform(curl);
    // the handle keeps no pointer into this call's buffers beyond it
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, nullptr);
    curl_easy_setopt(curl, CURLOPT_COOKIE, nullptr);
    if (m_stopped) {
        m_body.clear();
        return Stopped;
    }
    if (m_tooLarge) {
        m_body.clear();
        return TooLarge;
    }
    if (rc != CURLE_OK) {
        m_detail = QString::fromLatin1(curl_easy_strerror(rc));
        m_body.clear();
        return NoConnection;
    }
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &m_status);
    return Answered;
}

QByteArray VMwareTransport::cookieHeader() const
{
    QByteArray out;
    for (auto it = m_cookies.cbegin(); it != m_cookies.cend(); ++it) {
        if (!out.isEmpty())
            out += "; ";
        out += it.key() + '=' + it.value();
    }
    return out;
}

size_t VMwareTransport::onBody(char* data, size_t size, size_t count, void* self)
{
    VMwareTransport* t = static_cast<VMwareTransport*>(self);
    const size_t length = size * count;
    if (static_cast<size_t>(t->m_body.size()) + length > static_cast<size_t>(kMaxAnswerBytes)) {
        t->m_tooLarge = true;
        return 0;  // ends the transfer
    }
    t->m_body.append(data, static_cast<int>(length));
    return length;
}

size_t VMwareTransport::onHeader(char* data, size_t size, size_t count, void* self)
{
    const size_t length = size * count;
    static const char kSetCookie[] = "set-cookie:";
    static const char kLength[] = "content-length:";
    VMwareTransport* t = static_cast<VMwareTransport*>(self);
    const QByteArray line = QByteArray::fromRawData(data, static_cast<int>(length));
    // an answer announced as too large is refused before its body is read
    if (line.size() > static_cast<int>(sizeof kLength) - 1 && line.left(sizeof kLength - 1).toLower() == kLength
        && line.mid(sizeof kLength - 1).trimmed().toLongLong() > kMaxAnswerBytes) {
        t->m_tooLarge = true;
        return 0;
    }
    if (line.size() > static_cast<int>(sizeof kSetCookie) - 1
        && line.left(sizeof kSetCookie - 1).toLower() == kSetCookie)
        t->takeCookie(line.mid(sizeof kSetCookie - 1));
    return length;
}

int VMwareTransport::onProgress(void* self, long long, long long, long long, long long)
{
    VMwareTransport* t = static_cast<VMwareTransport*>(self);
    if (t->m_stop && t->m_stop()) {
        t->m_stopped = true;
        return 1;
    }
    return 0;
}

void VMwareTransport::takeCookie(const QByteArray& line)
{
    // "name=value; Path=/; ..." keeps only name and value
    const QByteArray pair = line.left(line.indexOf(';') < 0 ? line.size() : line.indexOf(';')).trimmed();
    const int eq = pair.indexOf('=');
    if (eq <= 0 || pair.size() > kMaxCookieBytes)
        return;
    const QByteArray name = pair.left(eq).trimmed();
    for (const char c : pair) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return;  // nothing that could split the request header
    }
    if (!m_cookies.contains(name) && m_cookies.size() >= kMaxCookies)
        return;
    m_cookies.insert(name, pair.mid(eq + 1).trimmed());
}
