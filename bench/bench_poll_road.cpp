// The poll road inside the daemon: polls per second from the task manager's queue through the
// task threads and the checks library (a row without a check, which answers at once) to the
// agent manager, with 8 task threads and 1000 stored monitors; and the memory one stored
// monitor record with 19 settings takes.
#include "agent/engine/stZamMonitor.h"
#include "agent/engine/CConfigManagerAgent.h"
#include "agent/engine/CPollTaskAgentById.h"
#include "agent/engine/CTaskManager.h"
#include "agent/core/CNetworkMonitor.h"
#include "agent/link/CAgentAgentManager.h"
#include "support/StubComponent.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDataStream>
#include <QMutex>
#include <QWaitCondition>
#include <benchmark/benchmark.h>
#include <malloc.h>

namespace {

constexpr int kMonitors = 1000;
constexpr int kRowWithoutCheck = 10;

class CountingAgentManager : public CAgentAgentManager
{
public:
    using CAgentAgentManager::CAgentAgentManager;
    bool sendPollResult(int) override
    {
        QMutexLocker locker(&mutex);
        ++sent;
        cond.wakeAll();
        return true;
    }
    void waitFor(long target)
    {
        QMutexLocker locker(&mutex);
        while (sent < target)
            cond.wait(&mutex);
    }
    QMutex mutex;
    QWaitCondition cond;
    long sent = 0;
};

CNetworkMonitor::Components components(CNetworkMonitor* root)
{
    CNetworkMonitor::Components c;
    c.controlServer = new StubComponent(root, QStringLiteral("control server"), CNetworkMonitor::ControlBit);
    c.snmpTrapManager = new StubComponent(root, QStringLiteral("snmp trap manager"), CNetworkMonitor::TrapBit);
    c.syslogLinesManager = new StubComponent(root, QStringLiteral("syslog lines manager"), CNetworkMonitor::SyslogBit);
    c.configManager = new CConfigManagerAgent(root, QStringLiteral("config manager"), CNetworkMonitor::ConfigBit);
    c.scheduleManager = new StubComponent(root, QStringLiteral("schedule manager"), CNetworkMonitor::ScheduleBit);
    c.taskManager = new CTaskManager(root, QStringLiteral("task manager"), CNetworkMonitor::TaskBit);
    c.agentManager = new CountingAgentManager(root, QStringLiteral("agent manager"), CNetworkMonitor::AgentBit);
    return c;
}

// A record as the link reads it: 19 settings like a busy check's.
stZamMonitorPtr monitorRecord(int id)
{
    stZamMonitorPtr r(new stZamMonitor);
    for (int i = 0; i < 19; ++i) {
        SMonitorSetting s;
        s.displayName.setValue(QByteArray(" Setting ") + QByteArray::number(i));
        s.displayHint.setValue("What the setting means, in a sentence or two of help text.");
        s.kind = i % 2 ? 'i' : 's';
        s.intValue = i;
        s.valueText = QStringLiteral("value of setting %1").arg(i);
        r->settingRecords.append(s);
    }
    r->optMonitorId = id;
    r->pluginId = 1;
    r->typeIndex = kRowWithoutCheck;
    r->useHostName = 1;
    qstrncpy(r->hostName, "localhost", sizeof(r->hostName));
    r->timeout = 10;
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out.setVersion(7);
        writeMonitorRecord(out, *r);
    }
    stZamMonitorPtr read(new stZamMonitor);
    QDataStream in(bytes);
    in.setVersion(7);
    readMonitorRecord(in, *read);
    return read;
}

void BM_PollsEndToEnd(benchmark::State& state)
{
    createNetworkMonitor(nullptr, true, &components);
    taskManager()->postSetLimits(8, 0);
    for (int id = 1; id <= kMonitors; ++id)
        configManager()->setMonitorData(id, monitorRecord(id));
    auto* agent = static_cast<CountingAgentManager*>(agentManager());
    const int batch = static_cast<int>(state.range(0));
    long target = 0;
    int next = 0;
    for (auto _ : state) {
        for (int i = 0; i < batch; ++i) {
            const int id = next++ % kMonitors + 1;
            taskManager()->postTask(CTaskPtr(new CPollTaskAgentById(id, Optional<int>(id), SPollResultPtr(new SPollResult))));
        }
        target += batch;
        agent->waitFor(target);
    }
    state.SetItemsProcessed(state.iterations() * batch);
    destroyNetworkMonitor();
}
BENCHMARK(BM_PollsEndToEnd)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StoredRecordMemory(benchmark::State& state)
{
    for (auto _ : state) {
        // What the configuration manager keeps per monitor once the read record is gone.
        CConfigManagerAgent store(nullptr, QStringLiteral("config manager"), 1);
        const size_t before = mallinfo2().uordblks;
        for (int id = 1; id <= kMonitors; ++id)
            store.setMonitorData(id, monitorRecord(id));
        const size_t after = mallinfo2().uordblks;
        state.counters["bytes_per_record"] = double(after - before) / kMonitors;
    }
}
BENCHMARK(BM_StoredRecordMemory)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
