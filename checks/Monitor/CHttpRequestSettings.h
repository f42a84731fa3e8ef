#pragma once
// Everything that shapes one HTTP(S) request, written onto a libcurl easy handle by apply().
// Owned by the poll that fills it; one thread; owns its custom header list.

#include <QByteArray>
#include <QUrl>

struct curl_slist;

enum ERequestType { RequestNone = 0, RequestGet = 1, RequestPost = 2 };
enum EMeasureHttpStartTime { MeasureConnectStart = 0, MeasureStartTime = 1, MeasureRequestStart = 2 };
enum EMeasureHttpEndTime { MeasureResponseEnd = 0, MeasureResponseStart = 1 };

class CHttpRequestSettings
{
public:
    CHttpRequestSettings() = default;
    virtual ~CHttpRequestSettings();
    CHttpRequestSettings(const CHttpRequestSettings&) = delete;
    CHttpRequestSettings& operator=(const CHttpRequestSettings&) = delete;

    // "http://" is put in front of a text without a scheme; only http and https are valid.
    static QUrl prepareHttpHttpsUrl(const char* text);

    bool setUrl(const QUrl& url);
    bool setUrl(const char* text);
    const QUrl& url() const { return m_url; }
    bool setProxyUrl(const QUrl& url);
    bool setProxyUrl(const char* text);
    const QUrl& proxyUrl() const { return m_proxyUrl; }

    void setLogin(const QByteArray& v) { m_login = v; }
    void setPassword(const QByteArray& v) { m_password = v; }
    void setProxyLogin(const QByteArray& v) { m_proxyLogin = v; }
    void setProxyPassword(const QByteArray& v) { m_proxyPassword = v; }
    void setPostData(const QByteArray& v) { m_postData = v; }
    void setUserAgent(const QByteArray& v) { m_userAgent = v; }
    const QByteArray& userAgent() const { return m_userAgent; }

    // libcurl's numbers: 2 (1.1), 3, 4, 5 (2.0 variants), 30, 31 (3); 1 (1.0) becomes 2.
    bool setHttpVersion(long v);
    unsigned httpVersion() const { return m_httpVersion; }
    void setRequestType(ERequestType t) { m_requestType = t; }
    ERequestType requestType() const { return m_requestType; }
    bool setMeasureStart(long v);
    bool setMeasureFinish(long v);
    EMeasureHttpStartTime measureStart() const { return m_measureStart; }
    EMeasureHttpEndTime measureFinish() const { return m_measureFinish; }
    // 0 none, 1 HTTP, 5 SOCKS 4, 6 SOCKS 5 (libcurl's proxy type + 1).
    bool setProxyType(long v);
    long proxyType() const { return m_proxyType; }
    void setIgnoreTlsErrors(bool v) { m_ignoreTlsErrors = v; }
    bool ignoreTlsErrors() const { return m_ignoreTlsErrors; }
    void setUseCustomHeaders(bool v) { m_useCustomHeaders = v; }

    // One header a line; a "Name:" line with nothing after its colon is sent as "Name;" (an
    // empty value). False, and no list, when a line holds a control character.
    bool setCustomHeaders(const char* text);
    const curl_slist* customHeaders() const { return m_headers; }
    void cleanupHeaders();

    bool isValid() const;
    // libcurl's result code of the first option that fails, 0 when all are set.
    int apply(void* curl) const;

private:
    QUrl m_url;
    QByteArray m_login;
    QByteArray m_password;
    unsigned m_httpVersion = 2;
    ERequestType m_requestType = RequestNone;
    QByteArray m_postData;
    bool m_useCustomHeaders = false;
    curl_slist* m_headers = nullptr;
    QByteArray m_userAgent;
    bool m_ignoreTlsErrors = false;
    EMeasureHttpStartTime m_measureStart = MeasureConnectStart;
    EMeasureHttpEndTime m_measureFinish = MeasureResponseEnd;
    long m_proxyType = 0;
    QUrl m_proxyUrl;
    QByteArray m_proxyText;
    QByteArray m_proxyLogin;
    QByteArray m_proxyPassword;
};
