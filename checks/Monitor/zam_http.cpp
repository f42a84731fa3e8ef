// HTTP(S) monitor type: one GET or POST per poll through CHttpRequest; reports the response
// time, the status code and the verdicts of the two expected-response rules. Runs on the
// calling task thread; nothing is kept between polls.

#include "CHttpRequest.h"
#include "CHttpRequestSettings.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"
#include "zam_settings.h"

#include <cstring>
#include <string>

namespace {

// The User-Agent text of a "User Agent" choice: the description of the choice with that value,
// from the setting entry or else from the type's own table. Null for an unknown value.
const char* userAgentText(const stZamSettings* settings, const stZamMonitorType* type, int value)
{
    const stZamSettingEntry* entry = findSetting(settings, "User Agent");
    const stZamEnumRow* rows = entry ? entry->enums : nullptr;
    int count = entry ? entry->enumCount : 0;
    if (!rows && type && type->settings) {
        for (int i = 0; i < type->settingsCount; ++i) {
            if (type->settings[i].name && std::strcmp(type->settings[i].name, "User Agent") == 0) {
                rows = type->settings[i].enums;
                count = type->settings[i].enumCount;
            }
        }
    }
    for (int i = 0; rows && i < count; ++i) {
        if (rows[i].value == value)
            return rows[i].description ? rows[i].description : "";
    }
    return nullptr;
}

int pollFailure(stZamMonitor* mon, const char* reason)
{
    setMonFailReason(mon, reason);
    return setMonFailure(mon);
}

}  // namespace

int poll_http(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType* type, stZamMonitor* mon)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings"));
    enum {
        kUrl = 1, kVersion = 2, kMethod = 4, kAgent = 8, kCustomAgent = 16, kHeaders = 32, kProxyUrl = 64,
    };
    std::string url, postData, login, password, proxyUrl, proxyLogin, proxyPassword, customAgent, headers;
    int version = 1, method = 0, proxyType = 0, agent = 1, ignoreTls = 1, useHeaders = 0, reverse = 0;
    int startFrom = 0, finishOn = 0;
    const PluginOption options[] = {
        {'u', "URL", kUrl, nullptr, &url, nullptr},
        {'e', "HTTP Version", kVersion, &version, nullptr, nullptr},
        {'e', "Request Method", kMethod, &method, nullptr, nullptr},
        {'t', " POST Data", 0, nullptr, &postData, nullptr},
        {'l', "Login", 0, nullptr, &login, nullptr},
        {'p', "Password", 0, nullptr, &password, nullptr},
        {'e', "Proxy Server", 0, &proxyType, nullptr, nullptr},
        {'s', " Proxy Server URL", kProxyUrl, nullptr, &proxyUrl, nullptr},
        {'l', "Proxy Server Login", 0, nullptr, &proxyLogin, nullptr},
        {'p', "Proxy Server Password", 0, nullptr, &proxyPassword, nullptr},
        {'e', "User Agent", kAgent, &agent, nullptr, nullptr},
        {'s', " Custom string", kCustomAgent, nullptr, &customAgent, nullptr},
        {'y', "Ignore HTTPS (SSL) errors", 0, &ignoreTls, nullptr, nullptr},
        {'y', "Custom HTTP headers", 0, &useHeaders, nullptr, nullptr},
        {'t', " HTTP headers", kHeaders, nullptr, &headers, nullptr},
        {'y', "Reverse", 0, &reverse, nullptr, nullptr},
        {'e', "Start from", 0, &startFrom, nullptr, nullptr},
        {'e', "Finish on", 0, &finishOn, nullptr, nullptr},
        {0, nullptr, 0, nullptr, nullptr, nullptr},
    };
    int found = 0;
    if (!pluginParseSettings(&mon->settings, options, &found) || !(found & kUrl))
        return pollFailure(mon, "Incorrect monitor parameters");

    CHttpRequestSettings settings;
    settings.setUrl(url.c_str());
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("url set: '%1'").arg(QString::fromStdString(url)));
    settings.setRequestType(method == 0 ? RequestGet : method == 1 ? RequestPost : RequestNone);
    if (!settings.setHttpVersion(version) || !settings.setProxyType(proxyType)
        || !settings.setMeasureStart(startFrom) || !settings.setMeasureFinish(finishOn))
        return pollFailure(mon, "Incorrect request parameters");
    settings.setPostData(QByteArray::fromStdString(postData));
    settings.setLogin(QByteArray::fromStdString(login));
    settings.setPassword(QByteArray::fromStdString(password));
    if (proxyType != 0 && !settings.setProxyUrl(proxyUrl.c_str()))
        return pollFailure(mon, "Invalid proxy URL");
    settings.setProxyLogin(QByteArray::fromStdString(proxyLogin));
    settings.setProxyPassword(QByteArray::fromStdString(proxyPassword));
    settings.setIgnoreTlsErrors(ignoreTls != 0);
    settings.setUseCustomHeaders(useHeaders != 0);
    if (useHeaders && !settings.setCustomHeaders(headers.c_str()))
        return pollFailure(mon, "Custom HTTP headers hold a control character");
    if (agent == 0) {
        settings.setUserAgent(QByteArray::fromStdString(customAgent));
    } else {
        const char* text = userAgentText(&mon->settings, type, agent);
        if (!text)
            return pollFailure(mon, "Incorrect monitor parameters");
        settings.setUserAgent(text);
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings ok"));

    zamLogMonitorPlugin_QStr(mon, QStringLiteral("create request"));
    CHttpRequest request(mon->failReason, ZAM_FAIL_REASON_SIZE, mon->stillAlive, mon->stillAliveContext);
    request.setMonitor(mon);
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("create request ok"));
    const bool discovery = mon->mode == 1;
    request.setInDiscovery(discovery);
    request.setTimeout(mon->timeout);
    request.setRepeatOnConTimeout(true);
    request.setRespValidators(QList<stZamResponseValidationInfo>{mon->validation[0], mon->validation[1]});

    zamLogMonitorPlugin_QStr(mon, QStringLiteral("execute request"));
    if (request.exec(settings) != 0) {
        if (reverse) {
            mon->resultExtra2 = 200;
            return setMonReverseSuccess(mon);
        }
        if (request.curlCouldntConnect()) {
            zamLogMonitorPlugin_QStr(mon, QStringLiteral("curl could not connect url"));
            mon->resultCode = ZAM_RESULT_CODE_NETWORK_ERROR;
        }
        return 1;
    }
    if (reverse)
        return pollFailure(mon, "poll succeeded for reverse monitor");
    const long ms = request.lastPerformance(settings.measureStart(), settings.measureFinish());
    mon->perfValue = ms;
    if (discovery)
        return 0;
    mon->resultValue = static_cast<int>(ms);
    mon->resultExtra2 = static_cast<int>(request.lastResponseCode());
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("execute request ok, rc=%1").arg(request.lastResponseCode()));
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("execute validation"));
    const QList<bool> ok = request.respValidationResult();
    mon->validationFailed[0] = ok.value(0, true) ? 0 : 1;
    mon->validationFailed[1] = ok.value(1, true) ? 0 : 1;
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("execute validation ok"));
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("response time: %1 msec").arg(ms));
    return 0;
}
