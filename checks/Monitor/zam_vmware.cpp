// VMware Host, Virtual Machine and Datastore monitor types (rows 42 to 44): one metric of an
// ESXi host, of a virtual machine on it or of one of its datastores, and the entity tables of
// machines and datastores that the service's picker shows.
// Runs on the polling thread. Kept between polls: the monitor's logged-in VMwareClient in its
// plug-in data slot, bound to the monitor only while a poll or the invalidation uses it. The
// daemon runs one poll of a monitor at a time and drops the client through invalidate_vmware
// when the record changes and after every poll sent with settings instead of an id; a failed
// measurement drops it too, so the next poll logs in again.

#include "VMware/VMwareClient.h"
#include "VMware/VMwareEntityTable.h"
#include "VMware/VMwareMetrics.h"
#include "VMware/VMwareOptions.h"
#include "zam_compose.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"

#include <functional>
#include <memory>

namespace {

const QString kPoweredOn = QStringLiteral("poweredOn");

VMwareClient* clientOf(const stZamMonitor* mon)
{
    return static_cast<VMwareClient*>(mon->pluginData);
}

int failWith(stZamMonitor* mon, const QString& reason)
{
    setMonFailReason(mon, reason.toUtf8().constData());
    return setMonFailure(mon);
}

// A fresh client, logged in; host and datastore polls also need the host system.
std::unique_ptr<VMwareClient> connectClient(stZamMonitor* mon, VMwareObjectType kind, const VMwareOptions& options)
{
    auto client = std::make_unique<VMwareClient>();
    client->setMonitor(mon);
    bool ok = client->connectToServer(options.address, options.user, options.password);
    if (ok && kind == VMwareHostSystem) {
        VMwareObject host;
        ok = client->getHostObject(host);
        if (ok)
            client->setObject(host);
    } else if (ok && kind == VMwareDatastore) {
        ok = client->initHypervisorSystemId();
    }
    if (!ok) {
        failWith(mon, client->getError());
        return nullptr;  // a half-open session ends here, while the monitor is still bound
    }
    return client;
}

using PollStep = std::function<int(VMwareClient&, const VMwareOptions&)>;

// Settings, the cached or a new client, then the poll's own step.
int runPoll(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon,
            VMwareObjectType kind, const PollStep& step)
{
    VMwareOptions options;
    if (!options.getOptions(mon, kind)) {
        setMonFailReason(mon, "incorrect settings");
        invalidate_vmware(ctx, tctx, type, mon, 0);
        return setMonFailure(mon);
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("initialize client"));
    // a cached client keeps its session: this poll's address and credentials are not applied
    if (VMwareClient* cached = clientOf(mon)) {
        cached->setMonitor(mon);
    } else {
        std::unique_ptr<VMwareClient> fresh = connectClient(mon, kind, options);
        if (!fresh)
            return setMonFailure(mon);
        mon->pluginData = fresh.release();
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("initialize client ok"));
    const int rc = step(*clientOf(mon), options);
    if (VMwareClient* kept = clientOf(mon))
        kept->detach();
    return rc;
}

// The metric of the client's current object as the result; false leaves the reason in the client.
bool measure(stZamMonitor* mon, VMwareClient& client, int metric, int resultUnit, int unit)
{
    qint64 value = -1;
    if (!client.getResult(metric, resultUnit, value))
        return false;
    QString unitText;
    VMwareMetrics::convertMetric(unit, unitText, value);
    mon->perfValue = value;
    compose_INT64_PERFVAL_MEASURE_UNIT(mon, value, unitText.toUtf8().constData());
    return true;
}

bool enumerationRequested(const stZamMonitor* mon)
{
    // the service asks with 1 or 2; the answer always carries 1
    return mon->mode == 1 || mon->mode == 2;
}

void reportTable(stZamMonitor* mon, const QString& selected, const QString& entries, int section)
{
    compose_zam_memsect_entity_table(mon, (selected + entries).toUtf8().constData(), section);
}

// The machines with their power states as the table; each state costs one exchange.
int execVMwareVMDiscoveryQuery(stZamMonitor* mon, VMwareClient* client, QString selected, bool autoSelect)
{
    mon->mode = 1;
    QList<VMwareObject> machines;
    if (!client->getVirtualMachineObjects(machines))
        return failWith(mon, client->getError());
    QString entries;
    bool found = false;
    for (const VMwareObject& machine : machines) {
        QString state;
        if (!client->getVirtualMachineState(machine, state))
            return failWith(mon, client->getError());
        VMwareEntityTable::appendObject(entries, {machine.name, state, machine.id});
        if (autoSelect && selected.isEmpty() && state == kPoweredOn)
            selected = machine.name;
        found = found || machine.name == selected;
    }
    if (autoSelect && selected.isEmpty() && !machines.isEmpty())
        selected = machines.first().name;
    reportTable(mon, selected, entries, ZAM_SECTION_VMWARE_VMS);
    return autoSelect || found ? setMonSuccess(mon) : failWith(mon, QStringLiteral("Virtual Machine not found"));
}

// The host's datastores as the table.
int execVMwareDatastoreDiscoveryQuery(stZamMonitor* mon, VMwareClient* client, QString selected, bool autoSelect)
{
    mon->mode = 1;
    QList<VMwareObject> datastores;
    if (!client->getDatastoreObjects(datastores))
        return failWith(mon, client->getError());
    if (autoSelect && selected.isEmpty() && !datastores.isEmpty())
        selected = datastores.first().name;
    QString entries;
    bool found = false;
    for (const VMwareObject& datastore : datastores) {
        VMwareEntityTable::appendObject(entries, {datastore.name, datastore.id});
        found = found || datastore.name == selected;
    }
    reportTable(mon, selected, entries, ZAM_SECTION_VMWARE_DATASTORES);
    return autoSelect || found ? setMonSuccess(mon) : failWith(mon, QStringLiteral("Datastore not found"));
}

}  // namespace

int invalidate_vmware(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon, unsigned)
{
    // every invalidation drops the client, whatever the flags
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("invalidate data"));
    if (VMwareClient* client = clientOf(mon)) {
        mon->pluginData = nullptr;
        // the logout goes out in the monitor's name, within the poll's budget when one runs
        if (!client->isBoundTo(mon))
            client->setMonitor(mon);
        delete client;
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("invalidate data ok"));
    return 0;
}

int poll_vmware_host(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon)
{
    return runPoll(ctx, tctx, type, mon, VMwareHostSystem, [&](VMwareClient& client, const VMwareOptions& options) {
        if (measure(mon, client, options.metric, options.unit, options.unit))
            return setMonSuccess(mon);
        failWith(mon, client.getError());
        invalidate_vmware(ctx, tctx, type, mon, 0);
        return 1;
    });
}

int poll_vmware_vm(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon)
{
    return runPoll(ctx, tctx, type, mon, VMwareVirtualMachine, [&](VMwareClient& client, const VMwareOptions& options) {
        // an enumeration re-selects: the first running machine, else the first one
        if (enumerationRequested(mon))
            return execVMwareVMDiscoveryQuery(mon, &client, QString(), true);
        const VMwareEntityTable::Selection selection =
            VMwareEntityTable::select(options.objectName, VMwareEntityTable::kMachineFields);
        if (selection.id.isEmpty())
            return execVMwareVMDiscoveryQuery(mon, &client, selection.name, false);
        client.setObject(VMwareObject{VMwareVirtualMachine, selection.id, selection.name});
        if (measure(mon, client, options.metric, options.unit, options.unit))
            return setMonSuccess(mon);
        // a stopped machine has no samples; say so rather than pass on the server's silence
        const QString error = client.getError();
        QString state;
        const bool stateRead = client.getVirtualMachineState(client.object(), state);
        failWith(mon, stateRead && state != kPoweredOn
                          ? QStringLiteral("Virtual Machine \"%1\" is powered off").arg(selection.name)
                          : error);
        invalidate_vmware(ctx, tctx, type, mon, 0);
        return 1;
    });
}

int poll_vmware_datastore(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type,
                          stZamMonitor* mon)
{
    return runPoll(ctx, tctx, type, mon, VMwareDatastore, [&](VMwareClient& client, const VMwareOptions& options) {
        const VMwareEntityTable::Selection selection =
            VMwareEntityTable::select(options.objectName, VMwareEntityTable::kDatastoreFields);
        // an enumeration keeps the selected datastore
        if (enumerationRequested(mon))
            return execVMwareDatastoreDiscoveryQuery(mon, &client, selection.name, true);
        if (selection.id.isEmpty())
            return execVMwareDatastoreDiscoveryQuery(mon, &client, selection.name, false);
        client.setObject(VMwareObject{VMwareDatastore, selection.id, selection.name});
        // no datastore metric depends on the unit when it is read
        if (measure(mon, client, options.metric, 0, options.unit))
            return setMonSuccess(mon);
        failWith(mon, client.getError());
        invalidate_vmware(ctx, tctx, type, mon, 0);
        return 1;
    });
}
