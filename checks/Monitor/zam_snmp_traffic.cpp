// SNMP traffic speed and volume monitor types (rows 22 and 23): the octet counters of one
// interface between two polls, as a rate or as octets; in discovery and enumeration mode the
// agent's interfaces instead. Runs on the calling task thread. Kept between polls: the settings
// and the counter OIDs that answered (plug-in data, ZamSnmpTrafficData) and the previous poll's
// counters (cached data, TrafficPreviousPollData).

#include "CTimeWatcher.h"
#include "Snmp/SnmpInterfaceDiscovery.h"
#include "Snmp/SnmpJobSetup.h"
#include "Snmp/TrafficCounters.h"
#include "Snmp/ZamSnmpTrafficData.h"
#include "Snmp/ZamSnmpTrafficPollData.h"
#include "zam_compose.h"
#include "zam_monitor_functions.h"

#include <cstdlib>

namespace {

int fail(stZamMonitor* mon, const char* text)
{
    setMonFailReason(mon, text);
    return setMonFailure(mon);
}

void trace(stZamMonitor* mon, const QString& text)
{
    zamLogMonitorPlugin_QStr(mon, text);
}

// The counters of a response in the order of `set`; 0, else the failure's code.
int readSample(stZamMonitor* mon, const netsnmp_pdu* response, const QStringList& set, TrafficSample& sample)
{
    std::vector<oid> names[3];
    for (int i = 0; i < 3; ++i) {
        if (!ZamSnmpTrafficPollData::parseOid(set.value(i), names[i]))
            return fail(mon, "Cannot parse OID");
    }
    bool haveUpTime = false;
    for (const netsnmp_variable_list* var = response->variables; var; var = var->next_variable) {
        uint64_t value = 0;
        bool counter32 = true;
        if ((var->type == ASN_COUNTER || var->type == ASN_TIMETICKS) && var->val.integer) {
            value = static_cast<uint32_t>(*var->val.integer);
        } else if (var->type == ASN_COUNTER64 && var->val.counter64) {
            value = (static_cast<uint64_t>(var->val.counter64->high) << 32) | var->val.counter64->low;
            counter32 = false;
        } else {
            return fail(mon, "network interface not found");
        }
        int which = -1;
        for (int i = 0; i < 3 && which < 0; ++i) {
            if (snmp_oid_compare(var->name, var->name_length, names[i].data(), names[i].size()) == 0)
                which = i;
        }
        if (which == 0) {
            sample.upTime = value;
            haveUpTime = true;
        } else if (which == 1) {
            sample.inOctets = value;
            sample.in32 = counter32;
            sample.presentMask |= 1;
        } else if (which == 2) {
            sample.outOctets = value;
            sample.out32 = counter32;
            sample.presentMask |= 2;
        } else {
            return fail(mon, "Cannot recognize name of variable in the response");
        }
    }
    if (!haveUpTime)
        return fail(mon, "Response does not contain sysUpTime value");
    return 0;
}

int pollCounters(stCoreZamContext* ctx, stZamMonitor* mon, ZamSnmpTrafficData* data, bool speed)
{
    TrafficPreviousPollData* previous = TrafficPreviousPollData::of(mon);
    if (!previous)
        return fail(mon, "Out of memory");
    if (data->interfaceNumber == 0)
        return fail(mon, "network interface is not selected. Please select it using the \"Interface Name\" setting in "
                         "client GUI.");
    QStringList primary;
    QStringList alternate;
    if (data->saved) {
        primary = data->savedSet;
    } else {
        // v1 has no 64-bit counters; the others try them first.
        const bool highFirst = data->version != 1;
        primary = ZamSnmpTrafficData::counterSet(data->interfaceNumber, highFirst);
        alternate = ZamSnmpTrafficData::counterSet(data->interfaceNumber, !highFirst);
    }

    ZamSnmpTrafficPollData poll(data);
    uint32_t setupMs = 0;
    if (const int rc = poll.open(ctx, setupMs))
        return rc;

    monitorStillAlive(mon);
    CTimeWatcher request;
    request.start();
    int rc = poll.executeGetRequest(primary);
    if (rc == ZamSnmpTrafficPollData::kNoSession)
        return rc;
    mon->resultValue = static_cast<int>(request.elapsedMillisec() + setupMs);
    QStringList inUse = primary;
    if (!alternate.isEmpty() && (rc != 0 || poll.isEmptyResponse(3))) {
        mon->failReason[0] = '\0';
        poll.freeResponse();
        monitorStillAlive(mon);
        request.start();
        rc = poll.executeGetRequest(alternate);
        mon->resultValue = static_cast<int>(request.elapsedMillisec() + setupMs);
        inUse = alternate;
    }
    if (rc != 0)
        return rc;

    const netsnmp_pdu* response = poll.response();
    if (!response)
        return fail(mon, "Library returned NULL response");
    if (response->errstat != SNMP_ERR_NOERROR) {
        setMonFailReasonFmt(mon, "Error in response: %s", snmp_errstring(static_cast<int>(response->errstat)));
        return setMonFailure(mon);
    }
    if (poll.isEmptyResponse(3))
        return fail(mon, "network interface not found");

    if (!speed && mon->timeout > 0 && mon->resultValue > mon->timeout) {
        // Too late to tell which interval the octets belong to: the next poll counts them.
        mon->perfValue = 0;
        return 0;
    }
    if (!data->saved)
        data->saveCounterSet(inUse);

    TrafficSample sample;
    if (const int bad = readSample(mon, response, inUse, sample))
        return bad;
    sample.timeMs = CTimeWatcher::nowMillisec();

    const TrafficStep step = trafficStep(*previous, sample, data->dataSet);
    if (step.verdict != TrafficVerdict::Report) {
        mon->resultCode = -1;
        trace(mon, QString::fromLatin1(trafficSkipText(step.verdict)));
    } else if (speed) {
        const uint64_t rate = trafficRateKbps(step.octets, step.elapsedMs);
        const TrafficSpeedDisplay display = trafficSpeedDisplay(rate, data->display, data->bandwidth);
        compose_INT64_PERFVAL_MEASURE_UNIT(mon, display.value, display.unit);
        mon->perfValue = static_cast<int64_t>(rate);
        trace(mon, QStringLiteral("normal poll"));
    } else {
        mon->perfValue = static_cast<int64_t>(step.octets);
        trace(mon, QStringLiteral("normal poll"));
    }
    previous->upTime = sample.upTime;
    previous->inOctets = sample.inOctets;
    previous->outOctets = sample.outOctets;
    previous->presentMask = sample.presentMask;
    previous->timeMs = sample.timeMs;
    return 0;
}

int pollTraffic(stCoreZamContext* ctx, stZamMonitor* mon, bool speed)
{
    if (!ctx || !ctx->active || !ctx->snmpMutex) {
        TrafficPreviousPollData::reset(mon);
        return fail(mon, "Cannot initialize the SNMP library");
    }
    const bool fresh = mon->pluginData == nullptr;
    auto* data = snmpMonitorJob<ZamSnmpTrafficData>(
        mon, [speed](ZamSnmpTrafficData& j, std::vector<PluginOption>& options) { return j.appendOwnOptions(options, speed); });
    if (!data) {
        TrafficPreviousPollData::reset(mon);
        return 1;
    }
    if (fresh)
        data->interfaceNumber = ZamSnmpTrafficData::interfaceFromSetting(data->interfaceText);

    if (mon->mode == 1 || mon->mode == 2) {
        QList<SSnmpNetworkInterface> interfaces;
        std::string chosen;
        const int status = getInterfaces(ctx, mon, interfaces, chosen);
        if (mon->mode == 1)
            return handleInterfacesForDiscovery(mon, status, interfaces, chosen);
        return handleInterfacesForEnumeration(
            mon, status, QLatin1String(speed ? "SNMP Traffic Speed" : "SNMP Traffic Volume"), interfaces);
    }
    const int rc = pollCounters(ctx, mon, data, speed);
    if (rc != 0)
        TrafficPreviousPollData::reset(mon);
    return rc;
}

}  // namespace

int poll_snmp_t_speed(stCoreZamContext* ctx, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    return snmpGuardedPoll(mon, [&] { return pollTraffic(ctx, mon, true); });
}

int poll_snmp_t_volume(stCoreZamContext* ctx, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    return snmpGuardedPoll(mon, [&] { return pollTraffic(ctx, mon, false); });
}

int invalidate_snmp_traffic(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon,
                            unsigned flags)
{
    if (!mon)
        return 0;
    if ((flags & ZAM_INVALIDATE_CACHED_DATA) && !(flags & ZAM_INVALIDATE_KEEP_LAST_VALUE) && mon->cachedData) {
        std::free(mon->cachedData);
        mon->cachedData = nullptr;
    }
    snmpInvalidateJob(mon, flags);
    return 0;
}
