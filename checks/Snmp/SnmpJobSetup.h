#pragma once
// The first-poll set-up shared by the SNMP resource types: make the monitor's job, parse its
// settings, check the common SNMP ones, and keep the job in the plug-in data slot only when all
// passed (a failed check leaves the slot empty, so the next poll parses again).
// Threads: the polling thread of the monitor; no locks.

#include "CSnmpMonitorJob.h"
#include "CTimeWatcher.h"
#include "zam_core_context.h"
#include "zam_monitor_helpers.h"
#include "zam_settings.h"

#include <memory>
#include <vector>

// "Cannot initialize SNMP library" unless the context is usable; 0 when it is.
inline int snmpCheckContext(stCoreZamContext* ctx, stZamMonitor* mon)
{
    if (ctx && ctx->active && ctx->snmpMutex)
        return 0;
    setMonFailReason(mon, "Cannot initialize SNMP library");
    return setMonFailure(mon);
}

// `addOptions(job, options)` appends the type's own rows and answers the bits that must be
// found besides Port and SNMP Version. Null with the reason set when a check failed.
template <class Job, class AddOptions>
Job* snmpMonitorJob(stZamMonitor* mon, AddOptions addOptions)
{
    if (mon->pluginData) {
        auto* job = static_cast<Job*>(mon->pluginData);
        job->setMonitor(mon);
        return job;
    }
    std::unique_ptr<Job> job(new Job(mon));
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings"));
    std::vector<PluginOption> options;
    job->appendCommonOptions(options);
    const int ownRequired = addOptions(*job, options);
    options.push_back({0, nullptr, 0, nullptr, nullptr, nullptr});
    int found = 0;
    const int required = CSnmpJob::kPortBit | CSnmpJob::kVersionBit | ownRequired;
    bool ok = pluginParseSettings(&mon->settings, options.data(), &found) && optionsPresent(found, required);
    if (!ok)
        job->onError("Incorrect monitor parameters", nullptr, nullptr, 1);
    else
        ok = job->validate(found) == 0;
    if (!ok) {
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("invalidate data"));
        job.reset();
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("invalidate data ok"));
        return nullptr;
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings ok"));
    mon->pluginData = job.get();
    return job.release();
}

// Deletes the monitor's job on an invalidation that drops plug-in data.
inline void snmpInvalidateJob(stZamMonitor* mon, unsigned flags)
{
    if (!mon || !(flags & ZAM_INVALIDATE_PLUGIN_DATA) || !mon->pluginData)
        return;
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("invalidate data"));
    delete static_cast<CSnmpJob*>(mon->pluginData);
    mon->pluginData = nullptr;
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("invalidate data ok"));
}

// Runs a poll body, turning anything thrown into a failure with its reason.
template <class Body>
int snmpGuardedPoll(stZamMonitor* mon, Body body)
{
    if (!mon)
        return 1;
    try {
        return body();
    } catch (const std::exception& e) {
        setMonFailReasonFmt(mon, "Internal error: %s", e.what());
    } catch (...) {
        setMonFailReason(mon, "Internal error");
    }
    return setMonFailure(mon);
}

// A GET that answered only after the monitor's time-out carries no figure (the worker then
// answers success with no value); report it as a failure instead of a made-up reading.
inline int snmpFailIfLate(CSnmpMonitorJob* job, const CTimeWatcher& watcher)
{
    if (watcher.timeout() <= 0 || !watcher.expired())
        return 0;
    return job->onError("Timeout exceeded", nullptr, nullptr, 1);
}
