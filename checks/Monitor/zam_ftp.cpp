// FTP monitor type: logs in and lists "/" by name over plain FTP, SFTP, implicit FTPS, FTPES
// or FTPES-if-available through libcurl, and reports the response time and the server's reply
// code. Runs on the polling thread with an easy handle of its own; nothing is kept between
// polls.

#include "CHostInfo.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"

#include <curl/curl.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <exception>
#include <map>
#include <memory>

namespace {

enum SecureType { kPlain = 0, kSftp = 1, kImplicitTls = 2, kExplicitTls = 3, kExplicitTlsIfAvailable = 4 };

const std::map<int, const char*> kUrlScheme = {
    {kPlain, "ftp"}, {kSftp, "sftp"}, {kImplicitTls, "ftps"}, {kExplicitTls, "ftp"}, {kExplicitTlsIfAvailable, "ftp"},
};

// Anonymous FTP login, used when the monitor asks for no authentication.
constexpr const char* kAnonymousLogin = "anonymous:zamagent@example.com";

struct WriteContext {
    bool abort = false;
    ZamStillAliveCallback stillAlive = nullptr;
    void* stillAliveContext = nullptr;
};

// The listing itself is not kept; each block is a sign of life of the poll.
size_t writeListing(char*, size_t size, size_t count, void* context)
{
    auto* write = static_cast<WriteContext*>(context);
    if (write == nullptr)
        return size * count;
    if (write->abort)
        return 0;
    if (write->stillAlive)
        write->stillAlive(write->stillAliveContext);
    return size * count;
}

// Old servers offer only weak keys and ciphers; accepted only when certificate errors are.
CURLcode relaxedTlsContext(CURL*, void* sslCtx, void*)
{
    SSL_CTX_set_security_level(static_cast<SSL_CTX*>(sslCtx), 0);
    return CURLE_OK;
}

struct CurlCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

int failWith(stZamMonitor* mon, const char* reason)
{
    setMonFailReason(mon, reason);
    return setMonFailure(mon);
}

// A host text that would change the URL's meaning (user part, path, query) is no host.
bool usableHost(const QByteArray& host)
{
    for (const char c : host) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7f || std::strchr("/@?#\\[]", c) != nullptr)
            return false;
    }
    return !host.isEmpty();
}

int pollFtp(stZamMonitor* mon)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("init curl"));
    std::unique_ptr<CURL, CurlCleanup> handle(curl_easy_init());
    if (!handle)
        return failWith(mon, "The CURL handler is not initialized");
    CURL* curl = handle.get();
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("init curl ok"));

    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings"));
    enum { kPort = 1, kCheckBox = 2, kSecure = 4, kUser = 8, kPassword = 16 };
    int seen = 0, port = 21, secure = kExplicitTlsIfAvailable;
    bool authenticate = false, ignoreTls = false;
    QByteArray user, password;
    for (uint32_t i = 0; i < mon->settings.count && mon->settings.entries; ++i) {
        const stZamSettingEntry& e = mon->settings.entries[i];
        const char* name = e.name ? e.name : "";
        const int value = static_cast<int>(e.valueInt);
        switch (e.id) {
        case 'c':
            authenticate = value != 0;
            seen |= kCheckBox;
            break;
        case 'e':
            if (std::strcmp(name, "Use SFTP Protocol") == 0) {
                secure = value;
                seen |= kSecure;
                if (secure != kPlain)
                    zamLogMonitorPlugin_QStr(mon, QStringLiteral("Secure FTP set"));
            }
            break;
        case 'i':
            if (std::strcmp(name, "Port") == 0) {
                zamLogMonitorPlugin_QStr(mon, QStringLiteral("check port"));
                if (static_cast<unsigned>(value) > 65535u)
                    return failWith(mon, "Port is out of range");
                zamLogMonitorPlugin_QStr(mon, QStringLiteral("check port ok"));
                port = value;
                seen |= kPort;
            }
            break;
        case 'l':
            user = QByteArray(e.valueText ? e.valueText : "");
            seen |= kUser;
            break;
        case 'p':
            password = QByteArray(e.valueText ? e.valueText : "");
            seen |= kPassword;
            break;
        case 'y':
            if (std::strcmp(name, "Ignore FTP SSL certificate errors") == 0) {
                ignoreTls = value > 0;
                if (ignoreTls)
                    zamLogMonitorPlugin_QStr(mon, QStringLiteral("Ignore SSL errors"));
            }
            break;
        default:
            break;
        }
    }
    const int needed = kPort | kCheckBox | kSecure | (authenticate ? kUser | kPassword : 0);
    if (!optionsPresent(seen, needed) || kUrlScheme.count(secure) == 0)
        return failWith(mon, "Incorrect monitor parameters");
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings ok"));

    zamLogMonitorPlugin_QStr(mon, QStringLiteral("resolve address"));
    QByteArray host;
    if (!CHostInfo::resolveAsync(mon, host))
        return setMonFailure(mon);
    if (!usableHost(host))
        return failWith(mon, "invalid host name");
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("resolve address ok: '%1'").arg(QString::fromUtf8(host)));

    const auto start = std::chrono::steady_clock::now();
    // An IPv6 address needs its brackets in a URL.
    const QByteArray urlHost = host.contains(':') ? "[" + host + "]" : host;
    const QByteArray url = QByteArray(kUrlScheme.at(secure)) + "://" + urlHost + "/";
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("url: '%1:%2'").arg(QString::fromUtf8(url)).arg(port));

    zamLogMonitorPlugin_QStr(mon, QStringLiteral("set curl options"));
    const bool discovery = mon->mode == 1;
    const long timeoutMs = mon->timeout;
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_PORT, static_cast<long>(port));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(std::ceil(std::max(timeoutMs, 2000L) / 1000.0)));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT,
                     discovery || timeoutMs < 2000 ? 0L : static_cast<long>(std::ceil(timeoutMs / 1000.0)));
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(curl, CURLOPT_DIRLISTONLY, 1L);
    long useSsl = CURLUSESSL_NONE;
    if (secure == kImplicitTls || secure == kExplicitTls)
        useSsl = CURLUSESSL_ALL;
    else if (secure == kExplicitTlsIfAvailable)
        useSsl = CURLUSESSL_TRY;
    curl_easy_setopt(curl, CURLOPT_USE_SSL, useSsl);
    if (ignoreTls) {
        if (useSsl != CURLUSESSL_NONE)
            curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, &relaxedTlsContext);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
        curl_easy_setopt(curl, CURLOPT_SSL_CIPHER_LIST, "LOW:MEDIUM:HIGH");
    } else {
        curl_easy_setopt(curl, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NATIVE_CA));
    }
    WriteContext write;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &writeListing);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &write);

    zamLogMonitorPlugin_QStr(mon, QStringLiteral("set credentials"));
    const QByteArray credentials = authenticate ? user + ":" + password : QByteArray(kAnonymousLogin);
    // Never the password: the log is readable by more people than the monitor's settings.
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("set credentials ok: '%1'")
                                      .arg(authenticate ? QString::fromUtf8(user) : QStringLiteral("anonymous")));
    curl_easy_setopt(curl, CURLOPT_USERPWD, credentials.constData());
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("set curl options ok"));

    write.stillAlive = mon->stillAlive;
    write.stillAliveContext = mon->stillAliveContext;
    write.abort = discovery;
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("execute curl"));
    const CURLcode code = curl_easy_perform(curl);

    if (discovery) {
        if (code == CURLE_OK || code == CURLE_FTP_COULDNT_RETR_FILE || code == CURLE_WRITE_ERROR
            || code == CURLE_LOGIN_DENIED) {
            mon->perfValue = 1;
            return 0;
        }
        if (code == CURLE_COULDNT_CONNECT)
            mon->resultCode = 2;
        setMonFailReason(mon, curl_easy_strerror(code));
        return 1;
    }

    long reply = 0;
    if (curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply) != CURLE_OK)
        reply = 0;
    double elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count()
                     / 1000.0;
    if (elapsed <= 0)
        elapsed = 0.001;
    if (secure == kSftp)
        reply = code == CURLE_OK ? 200 : code == CURLE_LOGIN_DENIED ? 530 : reply;
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("execute curl ok, rc=%1").arg(reply));

    const bool listed = code == CURLE_OK || code == CURLE_FTP_COULDNT_RETR_FILE;
    double seconds = 0;
    if (listed) {
        double total = 0, lookup = 0;
        curl_easy_getinfo(curl, CURLINFO_TOTAL_TIME, &total);
        curl_easy_getinfo(curl, CURLINFO_NAMELOOKUP_TIME, &lookup);
        seconds = total - lookup;
    } else {
        if (code == CURLE_COULDNT_CONNECT || code == CURLE_SSL_CONNECT_ERROR || code == CURLE_SSL_CERTPROBLEM
            || code == CURLE_PEER_FAILED_VERIFICATION)
            mon->resultCode = 2;
        if (reply != 0)
            setMonFailReasonFmt(mon, "%s (FTP return code: %ld)", curl_easy_strerror(code), reply);
        else
            setMonFailReasonFmt(mon, "%s", curl_easy_strerror(code));
        double connect = 0;
        curl_easy_getinfo(curl, CURLINFO_CONNECT_TIME, &connect);
        seconds = elapsed - connect;
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("error occurred, rc=%1").arg(reply));
    }
    long long ms = static_cast<long long>(seconds * 1000);
    if (ms <= 0)
        ms = 1;
    mon->perfValue = ms;
    mon->resultValue = static_cast<int>(std::min<long long>(ms, 0x7fffffff));
    mon->resultExtra2 = static_cast<int>(reply);
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("response time: %1 msec").arg(ms));
    // A refused login or a broken transfer is a failed poll; its reason says which.
    return listed ? 0 : 1;
}

} // namespace

int poll_ftp(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    try {
        return pollFtp(mon);
    } catch (const std::exception& e) {
        return failWith(mon, e.what());
    } catch (...) {
        return failWith(mon, "Internal error in the FTP check");
    }
}
