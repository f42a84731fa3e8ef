#pragma once
// One HTTP(S) request over a libcurl easy handle, run synchronously on the calling task
// thread: the status line, headers and body stream through the response validators and are
// not stored. Lives for one poll; owns its validators; no locks.

#include "../CFailReason.h"
#include "CHttpPerformance.h"
#include "CHttpRequestSettings.h"

#include <QList>
#include <QString>

class CHttpResponseValidator;
struct stZamMonitor;
struct stZamResponseValidationInfo;

class CHttpRequest : public CHttpPerformance
{
public:
    CHttpRequest(char* reasonBuffer, unsigned reasonSize, int (*stillAlive)(void*), void* context);
    ~CHttpRequest() override;
    CHttpRequest(const CHttpRequest&) = delete;
    CHttpRequest& operator=(const CHttpRequest&) = delete;

    void setMonitor(const stZamMonitor* mon) { m_monitor = mon; }
    void setTimeout(int ms) { m_timeoutMs = ms; }
    int timeout() const { return m_timeoutMs; }
    void setRepeatOnConTimeout(bool v) { m_repeatOnConTimeout = v; }
    bool repeatOnConTimeout() const { return m_repeatOnConTimeout; }
    void setInDiscovery(bool v) { m_inDiscovery = v; }
    bool inDiscovery() const { return m_inDiscovery; }

    // The validator for one expected-response rule.
    static CHttpResponseValidator* createValidator(int flags, const char* text);
    void setRespValidators(const QList<stZamResponseValidationInfo>& rules);
    void setRespValidators(const QList<CHttpResponseValidator*>& validators);  // takes ownership
    void clearRespValidation();

    // 0 on success, 1 on failure with the reason in the buffer.
    int exec(const CHttpRequestSettings& settings);
    long lastResponseCode() const { return static_cast<long>(m_responseCode); }
    // Milliseconds between the chosen points, at least 1.
    long lastPerformance(EMeasureHttpStartTime start, EMeasureHttpEndTime end) const;
    QList<bool> respValidationResult() const;
    bool curlCouldntConnect() const { return m_couldntConnect; }
    const char* failReason() const { return m_reason.text(); }
    // The still-alive callback's answer for its context; 0 without a callback.
    int steelAlive() const { return m_stillAlive ? m_stillAlive(m_stillAliveContext) : 0; }
    // Headers expected, starting with a status line; no code, not stopped.
    void resetRespState();

    // libcurl's write function: forwards to onWriteCb.
    static size_t writeCb(void* data, size_t size, size_t count, void* request);

protected:
    virtual size_t onWriteCb(const char* data, size_t length);
    virtual bool beforeRequest(void* curl, const CHttpRequestSettings& settings);
    virtual bool sendRequest(void* curl);
    virtual bool afterRequest(void* curl);

private:
    void log(const QString& text) const;
    void updatePerfValue(void* curl, int info, double& out);

    CFailReason m_reason;
    int (*m_stillAlive)(void*);
    void* m_stillAliveContext;
    int m_timeoutMs = 10000;
    bool m_repeatOnConTimeout = true;
    bool m_inDiscovery = false;
    bool m_inHeaders = true;
    bool m_stop = false;
    bool m_firstLine = true;
    bool m_couldntConnect = false;
    bool m_validatorFull = false;
    bool m_ignoreTlsErrors = false;
    unsigned long m_responseCode = 0;
    const stZamMonitor* m_monitor = nullptr;
    QList<CHttpResponseValidator*> m_validators;
};
