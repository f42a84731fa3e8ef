#pragma once
// The HTTPS leg of the VMware client: one POST of a SOAP request to
// "https://<address>/sdk/vimService" per exchange, over a libcurl easy handle that keeps its
// connection between exchanges. Any server certificate is accepted; no redirect is followed;
// an answer is taken only when it arrived whole within the limit and within kMaxAnswerBytes.
// The session cookie lives here as plain data and goes out with every request.
// Owned by one VMwareClient; used by one thread at a time, which may change between polls (a
// libcurl handle is bound to no thread); no locks.

#include <QByteArray>
#include <QMap>
#include <QString>

#include <functional>

class VMwareTransport
{
public:
    enum Outcome {
        Answered,      // an HTTP answer arrived whole: status() and body() hold it
        NoConnection,  // no connection, time limit, broken or partial answer
        TooLarge,      // the body passed kMaxAnswerBytes and was dropped
        Stopped,       // the stop test asked to end the exchange
    };

    static constexpr int kMaxAnswerBytes = 16 * 1024 * 1024;
    static constexpr int kMaxCookies = 16;
    static constexpr int kMaxCookieBytes = 4096;

    VMwareTransport();
    ~VMwareTransport();
    VMwareTransport(const VMwareTransport&) = delete;
    VMwareTransport& operator=(const VMwareTransport&) = delete;

    // The server address as the monitor names it: a host name or address, with a port after
    // ":" if any; an IPv6 address without brackets gets them.
    void setHost(const QString& host);
    QString url() const { return m_url; }

    // Checked about every second while an exchange waits; true ends it.
    void setStopTest(std::function<bool()> stop) { m_stop = std::move(stop); }

    Outcome post(const QByteArray& request, int limitMs);
    long status() const { return m_status; }
    const QByteArray& body() const { return m_body; }
    // libcurl's text for the last failure, for the trace.
    QString detail() const { return m_detail; }

    // "name=value; ..." as sent, empty before the server set a cookie.
    QByteArray cookieHeader() const;
    void clearCookies() { m_cookies.clear(); }

private:
    static size_t onBody(char* data, size_t size, size_t count, void* self);
    static size_t onHeader(char* data, size_t size, size_t count, void* self);
    static int onProgress(void* self, long long, long long, long long, long long);
    void takeCookie(const QByteArray& line);
    bool prepare();

    void* m_curl = nullptr;
    QString m_url;
    std::function<bool()> m_stop;
    QMap<QByteArray, QByteArray> m_cookies;
    QByteArray m_body;
    long m_status = 0;
    bool m_tooLarge = false;
    bool m_stopped = false;
    QString m_detail;
};
