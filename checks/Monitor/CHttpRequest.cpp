#include "CHttpRequest.h"

#include "../CTimeWatcher.h"
#include "CHttpResponseValidator.h"
#include "HttpStatusLine.h"
#include "zam_host.h"
#include "zam_monitor_helpers.h"

#include <curl/curl.h>
#include <openssl/ssl.h>

#include <cerrno>
#include <memory>

namespace {

// Lowers OpenSSL's checks so old servers still answer; installed only when certificate
// errors are to be ignored anyway.
CURLcode relaxedTlsContext(CURL*, void* sslCtx, void*)
{
    SSL_CTX* ctx = static_cast<SSL_CTX*>(sslCtx);
    SSL_CTX_set_security_level(ctx, 0);
    SSL_CTX_set_options(ctx, SSL_OP_ALLOW_UNSAFE_LEGACY_RENEGOTIATION);
    return (SSL_CTX_get_options(ctx) & SSL_OP_ALLOW_UNSAFE_LEGACY_RENEGOTIATION) ? CURLE_OK
                                                                                 : CURLE_ABORTED_BY_CALLBACK;
}

// libcurl takes an "ICY 200 OK" status line only as an alias of HTTP's; built once, never freed.
curl_slist* icyAliases()
{
    static curl_slist* const list = curl_slist_append(nullptr, "ICY");
    return list;
}

struct CurlCleanup {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

}  // namespace

CHttpRequest::CHttpRequest(char* reasonBuffer, unsigned reasonSize, int (*stillAlive)(void*), void* context)
    : m_reason(reasonBuffer, reasonSize), m_stillAlive(stillAlive), m_stillAliveContext(context)
{
}

CHttpRequest::~CHttpRequest()
{
    clearRespValidation();
}

CHttpResponseValidator* CHttpRequest::createValidator(int flags, const char* text)
{
    return CHttpResponseValidator::create(flags, QByteArray(text ? text : ""));
}

void CHttpRequest::setRespValidators(const QList<stZamResponseValidationInfo>& rules)
{
    clearRespValidation();
    for (const stZamResponseValidationInfo& rule : rules)
        m_validators.append(createValidator(rule.flags, rule.text));
}

void CHttpRequest::setRespValidators(const QList<CHttpResponseValidator*>& validators)
{
    clearRespValidation();
    m_validators = validators;
}

void CHttpRequest::clearRespValidation()
{
    qDeleteAll(m_validators);
    m_validators.clear();
}

QList<bool> CHttpRequest::respValidationResult() const
{
    QList<bool> out;
    for (const CHttpResponseValidator* v : m_validators)
        out.append(v->isOk());
    return out;
}

void CHttpRequest::log(const QString& text) const
{
    if (m_monitor)
        zamLogMonitorPlugin_QStr(m_monitor, text);
}

void CHttpRequest::resetRespState()
{
    m_inHeaders = true;
    m_stop = false;
    m_firstLine = true;
    m_responseCode = 0;
}

int CHttpRequest::exec(const CHttpRequestSettings& settings)
{
    m_couldntConnect = false;
    m_validatorFull = false;
    resetPerfInfo();
    m_responseCode = 0;
    m_reason.clear();
    log(QStringLiteral("exec"));
    for (CHttpResponseValidator* v : m_validators)
        v->reset();
    log(QStringLiteral("check URL: '%1'").arg(settings.url().toString()));
    if (!settings.url().isValid())
        return m_reason.setReason("Invalid URL"), 1;
    log(QStringLiteral("check URL ok"));
    if (!settings.isValid())
        return m_reason.setReason("Incorrect request parameters"), 1;
    log(QStringLiteral("init CURL"));
    std::unique_ptr<CURL, CurlCleanup> curl(curl_easy_init());
    if (!curl)
        return m_reason.setReason("The CURL handler is not initialized"), 1;
    log(QStringLiteral("init CURL ok"));
    CURLcode rc = curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &CHttpRequest::writeCb);
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, this);
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    if (rc != CURLE_OK)
        return m_reason.setReason("%s", curl_easy_strerror(rc)), 1;
    m_ignoreTlsErrors = settings.ignoreTlsErrors();
    if (beforeRequest(curl.get(), settings) && sendRequest(curl.get()) && afterRequest(curl.get())) {
        log(QStringLiteral("exec ok"));
        return 0;
    }
    return 1;
}

bool CHttpRequest::beforeRequest(void* handle, const CHttpRequestSettings& settings)
{
    CURL* curl = static_cast<CURL*>(handle);
    CURLcode rc = static_cast<CURLcode>(settings.apply(curl));
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(curl, CURLOPT_HEADER, 1L);
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip,deflate");
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 32L);
    if (rc == CURLE_OK)
        rc = curl_easy_setopt(curl, CURLOPT_HTTP200ALIASES, icyAliases());
    if (rc == CURLE_OK && m_ignoreTlsErrors)
        rc = curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, &relaxedTlsContext);
    if (rc != CURLE_OK) {
        m_reason.setReason("%s", curl_easy_strerror(rc));
        return false;
    }
    return true;
}

bool CHttpRequest::sendRequest(void* handle)
{
    CURL* curl = static_cast<CURL*>(handle);
    log(QStringLiteral("send request"));
    CTimeWatcher watcher(m_timeoutMs > 0 ? m_timeoutMs : -1);
    watcher.start();
    long totalSec = 0;
    long connectSec = 0;
    httpCurlTimeouts(m_timeoutMs, m_inDiscovery, &totalSec, &connectSec);
    long totalMs = totalSec * 1000;
    long connectMs = connectSec * 1000;
    for (;;) {
        resetRespState();
        m_couldntConnect = false;
        if (curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, totalMs) != CURLE_OK
            || curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connectMs) != CURLE_OK) {
            m_reason.setReason("Cannot update curl timeout");
            return false;
        }
        const CURLcode rc = curl_easy_perform(curl);
        if (rc == CURLE_COULDNT_CONNECT)
            m_couldntConnect = true;
        if (m_validatorFull) {
            for (const CHttpResponseValidator* v : m_validators) {
                if (!v->error().isEmpty()) {
                    m_reason.setReason("%s", v->error().toUtf8().constData());
                    break;
                }
            }
            return false;
        }
        if (m_inDiscovery)
            return rc == CURLE_OK || rc == CURLE_WRITE_ERROR;
        if (m_stop)
            return true;
        if (rc == CURLE_OK) {
            log(QStringLiteral("send request ok"));
            return true;
        }
        if (rc == CURLE_OPERATION_TIMEDOUT) {
            m_reason.setReason("Couldn't connect to server");
            return false;
        }
        if (rc == CURLE_COULDNT_CONNECT && m_repeatOnConTimeout) {
            long osErr = 0;
            curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &osErr);
            const int remaining = m_timeoutMs > 0 ? static_cast<int>(watcher.remainingTimeMillisec()) : 0;
            if (osErr == ETIMEDOUT && remaining >= 1000) {
                // The repeat fits in what is left of the budget.
                totalMs = connectMs = remaining;
                continue;
            }
        }
        m_reason.setReason("%s", curl_easy_strerror(rc));
        return false;
    }
}

bool CHttpRequest::afterRequest(void* handle)
{
    CURL* curl = static_cast<CURL*>(handle);
    for (CHttpResponseValidator* v : m_validators)
        v->validateResponse(nullptr, 0);
    if (!m_stop) {
        long code = 0;
        const CURLcode rc = curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
        if (rc != CURLE_OK) {
            m_reason.setReason("%s", curl_easy_strerror(rc));
            return false;
        }
        m_responseCode = static_cast<unsigned long>(code);
    }
    updatePerfValue(curl, CURLINFO_TOTAL_TIME_T, totalTime);
    updatePerfValue(curl, CURLINFO_NAMELOOKUP_TIME_T, nameLookupTime);
    updatePerfValue(curl, CURLINFO_CONNECT_TIME_T, connectTime);
    updatePerfValue(curl, CURLINFO_APPCONNECT_TIME_T, appConnectTime);
    updatePerfValue(curl, CURLINFO_PRETRANSFER_TIME_T, preTransferTime);
    updatePerfValue(curl, CURLINFO_STARTTRANSFER_TIME_T, startTransferTime);
    updatePerfValue(curl, CURLINFO_REDIRECT_TIME_T, redirectTime);
    return true;
}

void CHttpRequest::updatePerfValue(void* curl, int info, double& out)
{
    curl_off_t us = 0;
    const CURLcode rc = curl_easy_getinfo(static_cast<CURL*>(curl), static_cast<CURLINFO>(info), &us);
    if (rc != CURLE_OK) {
        m_reason.setReason("%s", curl_easy_strerror(rc));
        out = 0;
        return;
    }
    out = static_cast<double>(us) / 1e6;
}

long CHttpRequest::lastPerformance(EMeasureHttpStartTime start, EMeasureHttpEndTime end) const
{
    double t = end == MeasureResponseStart ? startTransferTime : totalTime;
    if (start != MeasureStartTime) {
        t -= redirectTime;
        if (start == MeasureConnectStart)
            t -= nameLookupTime;
        else
            t -= appConnectTime > 0 ? appConnectTime : connectTime;
    }
    const double ms = t * 1000.0;
    return ms <= 1.0 ? 1 : static_cast<long>(ms);
}

size_t CHttpRequest::writeCb(void* data, size_t size, size_t count, void* request)
{
    const size_t length = size * count;
    if (length == 0)
        return 0;
    if (!request) {
        zamLogMessage(ZAM_LOG_ERROR, "http request data is null");
        return 0;
    }
    return static_cast<CHttpRequest*>(request)->onWriteCb(static_cast<const char*>(data), length);
}

size_t CHttpRequest::onWriteCb(const char* data, size_t length)
{
    steelAlive();
    if (m_inDiscovery)
        return 0;
    if (m_inHeaders) {
        if (data[0] == '\r') {
            if (m_stop)
                return 0;
            if (m_responseCode >= 300 && m_responseCode <= 399)
                resetRespState();
            else
                m_inHeaders = false;
        } else if (m_firstLine) {
            m_firstLine = false;
            bool icy = false;
            m_responseCode = parseHttpStatusLine(data, length, &icy);
            if (icy)
                m_stop = true;
            if (m_stop)
                return 0;
        } else {
            if (m_stop)
                return 0;
            if (isIcyHeaderLine(data, length)) {
                m_stop = true;
                return 0;
            }
        }
    } else if (m_stop) {
        return 0;
    }
    for (CHttpResponseValidator* v : m_validators) {
        if (!v->validateResponse(data, length)) {
            m_validatorFull = true;
            return 0;
        }
    }
    return length;
}
