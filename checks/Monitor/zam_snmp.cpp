// SNMP Custom monitor type: one SNMP variable (or two for a preset) from a v1, v2c or v3 agent,
// reported as a number, a display text, or a changed/unchanged signal. The monitor's job
// (CSnmpMonitorJob) keeps the parsed settings and the last text between polls. Runs on the
// calling task thread; only session set-up takes the shared SNMP mutex (CSnmpWorker).

#include "Snmp/CSnmpMonitorJob.h"
#include "Snmp/CSnmpWorker.h"
#include "Snmp/SnmpJobSetup.h"
#include "Snmp/SnmpValueNumber.h"
#include "zam_compose.h"
#include "zam_core_context.h"
#include "zam_host.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"
#include "zam_settings.h"

#include <cstring>
#include <exception>
#include <memory>
#include <vector>

namespace {

using ConvertSnmpVar = int (*)(const netsnmp_variable_list*, const char*, QString&);
constexpr const char* kConvertService = "int_convertSnmpVarToString_constnetsnmpvariablelist*_constchar*_QString&";

enum OwnBits {
    kPresetBit = CSnmpJob::kFirstTypeBit,
    kOidBit = CSnmpJob::kFirstTypeBit << 1,
    kDivisorBit = CSnmpJob::kFirstTypeBit << 2,
};

int fail(CSnmpMonitorJob* job, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return job->onError(bytes.constData(), nullptr, nullptr, 1);
}

// Parses and checks the settings of a monitor that has no job yet; null with the reason set.
CSnmpMonitorJob* createJob(stZamMonitor* mon)
{
    std::unique_ptr<CSnmpMonitorJob> job(new CSnmpMonitorJob(mon));
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings"));
    std::string divisorText;
    int takeDelta = 0, normalize = 0;
    std::vector<PluginOption> options;
    job->appendCommonOptions(options);
    options.push_back({'e', "Preset", kPresetBit, &job->preset, nullptr, nullptr});
    options.push_back({'y', "Take delta", 0, &takeDelta, nullptr, nullptr});
    options.push_back({'y', "Normalize by time", 0, &normalize, nullptr, nullptr});
    options.push_back({'s', "OID (SNMP variable to monitor)", kOidBit, nullptr, &job->oid, nullptr});
    options.push_back({'s', "Second OID (capacity / B / second factor)", 0, nullptr, &job->oid2, nullptr});
    options.push_back({'e', "Counter Type", 0, &job->counterType, nullptr, nullptr});
    options.push_back({'s', " Divide returned value by", kDivisorBit, nullptr, &divisorText, nullptr});
    options.push_back({'s', "Display Hint", 0, nullptr, &job->displayHint, nullptr});
    options.push_back({0, nullptr, 0, nullptr, nullptr, nullptr});
    int found = 0;
    const int required = CSnmpJob::kPortBit | CSnmpJob::kVersionBit | kOidBit | kDivisorBit;
    if (!pluginParseSettings(&mon->settings, options.data(), &found) || !optionsPresent(found, required)) {
        fail(job.get(), QStringLiteral("Incorrect monitor parameters"));
        return nullptr;
    }
    if (!readPositiveDivisor(divisorText.c_str(), job->divisor)) {
        fail(job.get(), QStringLiteral("' Divide returned value by' must be a positive floating-point number"));
        return nullptr;
    }
    if (job->preset != 0 && job->oid2.empty()) {
        fail(job.get(), QStringLiteral("'Second OID (capacity / B / second factor)' is required for the selected 'Preset'"));
        return nullptr;
    }
    if (job->preset != 0 && job->counterType == 1) {
        fail(job.get(), QStringLiteral("'Preset' other than 'Single value (transform)' is incompatible with counter "
                                       "type 'Value has changed'"));
        return nullptr;
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings ok"));
    if (job->validate(found) != 0)
        return nullptr;
    return job.release();
}

// One variable of a preset as a number; 1 with the reason set when it is none.
int presetOperand(const netsnmp_variable_list* var, const char* hint, ConvertSnmpVar convert, CSnmpMonitorJob* job,
                  long double& out)
{
    switch (snmpVarNumber(var, out)) {
    case SnmpNumberKind::Number:
    case SnmpNumberKind::Unsigned32:
        return 0;
    case SnmpNumberKind::Text: {
        QString text;
        if (!convert || !convert(var, hint, text))
            return fail(job, QStringLiteral("Cannot decode SNMP variable string"));
        return snmpTextToNumber(text, out) ? 0 : fail(job, QStringLiteral("Cannot convert SNMP variable string to a number"));
    }
    case SnmpNumberKind::NoSuchObject:
        return fail(job, QStringLiteral("No Such Object available on this agent at this OID"));
    case SnmpNumberKind::NoSuchInstance:
        return fail(job, QStringLiteral("No Such Instance currently exists at this OID"));
    case SnmpNumberKind::Other:
        break;
    }
    return fail(job, QStringLiteral("Unexpected SNMP variable type %1").arg(var ? var->type : 0));
}

int storeScaled(CSnmpMonitorJob* job, stZamMonitor* mon, long double value)
{
    int64_t out = 0;
    QString reason;
    if (!snmpScaledValue(value, job->divisor, out, reason))
        return fail(job, reason);
    std::memset(mon->typeSpecific, 0, sizeof mon->typeSpecific);
    mon->perfValue = out;
    return 0;
}

void showText(stZamMonitor* mon, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    compose_UTF8_DISPLAY_VALUE(mon, bytes.constData());
    validateStrResponse(mon, 0, text);
    validateStrResponse(mon, 1, text);
}

int singleValue(CSnmpMonitorJob* job, stZamMonitor* mon, const netsnmp_variable_list* var, const char* hint,
                ConvertSnmpVar convert)
{
    std::memset(mon->typeSpecific, 0, sizeof mon->typeSpecific);
    if (job->counterType == 1) {
        QString text;
        if (!convert || !convert(var, hint, text))
            return fail(job, QStringLiteral("Cannot convert value of type %1 to a string").arg(var->type));
        const int outcome = job->previousValue.isEmpty() ? 2 : text != job->previousValue ? 1 : 0;
        job->previousValue = text;
        showText(mon, text);
        mon->perfValue = outcome;
        return 0;
    }
    long double value = 0;
    switch (snmpVarNumber(var, value)) {
    case SnmpNumberKind::Number:
        break;
    case SnmpNumberKind::Unsigned32:
        mon->resultExtra |= 1;
        break;
    case SnmpNumberKind::Text: {
        QString text;
        if (convert && convert(var, hint, text)) {
            text.remove(QLatin1Char('"'));
            if (!snmpTextToNumber(text, value))
                value = 0;
        } else {
            text = QString::fromLatin1(reinterpret_cast<const char*>(var->val.string), static_cast<int>(var->val_len));
            value = 0;
        }
        showText(mon, text);
        break;
    }
    case SnmpNumberKind::NoSuchObject:
        return fail(job, QStringLiteral("No Such Object available on this agent at this OID"));
    case SnmpNumberKind::NoSuchInstance:
        return fail(job, QStringLiteral("No Such Instance currently exists at this OID"));
    case SnmpNumberKind::Other:
        value = 0;
        break;
    }
    return storeScaled(job, mon, value);
}

int presetValue(CSnmpMonitorJob* job, stZamMonitor* mon, const netsnmp_pdu* response, const char* hint,
                ConvertSnmpVar convert)
{
    if (!response)
        return fail(job, QStringLiteral("Library returned NULL response"));
    if (response->errstat != SNMP_ERR_NOERROR)
        return fail(job, QStringLiteral("Error in response: ")
                             + QString::fromUtf8(snmp_errstring(static_cast<int>(response->errstat))));
    const netsnmp_variable_list* a = response->variables;
    if (!a)
        return fail(job, QStringLiteral("Response is empty"));
    const netsnmp_variable_list* b = a->next_variable;
    if (!b || b->next_variable)
        return fail(job, QStringLiteral("Response variable count does not match request"));
    long double x = 0, y = 0;
    if (presetOperand(a, hint, convert, job, x) || presetOperand(b, hint, convert, job, y))
        return 1;
    long double result = 0;
    switch (job->preset) {
    case 1:
        if (y == 0)
            return fail(job, QStringLiteral("'Second OID (capacity / B / second factor)' returned zero capacity"));
        result = x / y * 100;
        break;
    case 2:
        result = x - y;
        break;
    case 3:
        result = x * y;
        break;
    default:
        return fail(job, QStringLiteral("Unsupported preset"));
    }
    if (storeScaled(job, mon, result))
        return 1;
    if (job->preset == 1)
        compose_INT64_PERFVAL_MEASURE_UNIT(mon, mon->perfValue, " %");
    return 0;
}

int pollSnmp(stCoreZamContext* ctx, stZamMonitor* mon)
{
    if (!ctx || !ctx->active || !ctx->snmpMutex) {
        setMonFailReason(mon, "Cannot initialize SNMP library");
        return setMonFailure(mon);
    }
    auto* job = static_cast<CSnmpMonitorJob*>(mon->pluginData);
    if (!job) {
        job = createJob(mon);
        if (!job) {
            // The new job is gone again: the next poll parses the settings afresh.
            zamLogMonitorPlugin_QStr(mon, QStringLiteral("invalidate data"));
            zamLogMonitorPlugin_QStr(mon, QStringLiteral("invalidate data ok"));
            return 1;
        }
        mon->pluginData = job;
    }
    job->setMonitor(mon);

    CSnmpWorker worker(job);
    CTimeWatcher watcher(mon->timeout);
    if (const int rc = snmpTryInitSession(ctx, worker, watcher))
        return rc;
    monitorStillAlive(mon);

    int status = 0;
    const int rc = job->preset == 0
        ? worker.executeRequest(SNMP_MSG_GET, QString::fromLatin1(job->oid.c_str()), status)
        : worker.executeRequest(SNMP_MSG_GET,
                                QStringList{QString::fromLatin1(job->oid.c_str()), QString::fromLatin1(job->oid2.c_str())},
                                status);
    if (rc != 0)
        return rc;
    const uint32_t elapsed = watcher.elapsedMillisec();
    mon->resultValue = static_cast<int>(elapsed);
    // A failed request is a failure, however late it came back.
    if (status == STAT_ERROR && worker.statErrorFreedRequest()) {
        worker.forgetPdus();
        return job->onError("Cannot execute request, STAT_ERROR returned and request PDU should have been freed by Net-SNMP",
                            worker.sessionRecord(), worker.handle(), 1);
    }
    if (status != STAT_SUCCESS)
        return job->onError("Cannot execute request", worker.sessionRecord(), worker.handle(), 1);
    if (mon->timeout > 0 && elapsed >= static_cast<uint32_t>(mon->timeout)) {
        if (mon->mode == 1)
            return 1;
        mon->perfValue = 0;
        return 0;
    }
    if (mon->mode == 1)
        return 0;

    const auto convert = reinterpret_cast<ConvertSnmpVar>(zamGetServiceData(kConvertService));
    const char* hint = job->displayHint.empty() ? nullptr : job->displayHint.c_str();
    if (job->preset == 0) {
        if (const int bad = worker.validateResponse())
            return bad;
        if (singleValue(job, mon, worker.response()->variables, hint, convert))
            return 1;
    } else if (presetValue(job, mon, worker.response(), hint, convert)) {
        return 1;
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("poll ok"));
    return 0;
}

}  // namespace

int poll_snmp(stCoreZamContext* ctx, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    if (!mon)
        return 1;
    try {
        return pollSnmp(ctx, mon);
    } catch (const std::exception& e) {
        setMonFailReasonFmt(mon, "Internal error: %s", e.what());
    } catch (...) {
        setMonFailReason(mon, "Internal error");
    }
    return setMonFailure(mon);
}

int invalidate_snmp(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon,
                    unsigned flags)
{
    snmpInvalidateJob(mon, flags);
    return 0;
}
