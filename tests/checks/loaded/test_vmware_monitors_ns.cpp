// The VMware Host, Virtual Machine and Datastore monitor types through the loaded library,
// against the stand-in ESXi server on 127.0.0.1:443 (private loopback): the request sequences
// read from the stand-in's log, the client kept between polls and dropped on invalidation or a
// failed measurement, the entity tables of machines and datastores, and the settings tables the
// service hands back, whole, broken or in other scripts. Exchange limits are scaled down
// (NETAGENTD_TEST_TIME_SCALE).

#include "support/PluginTestHost.h"
#include "support/VMwareStandIn.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace {

// Read once by the library at its first exchange, so set before any test runs.
const bool kScaled = [] {
    setenv("NETAGENTD_TEST_TIME_SCALE", "0.1", 1);
    return true;
}();

enum : unsigned { kHostType = 42, kVmType = 43, kDatastoreType = 44 };
const char kSep = '\x1E';
using Misbehaviour = VMwareStandIn::Misbehaviour;

// Fields joined by the separator, as the service stores a table.
QByteArray table(std::initializer_list<const char*> fields)
{
    QByteArrayList parts;
    for (const char* f : fields)
        parts.append(f);
    return parts.join(kSep);
}

const QByteArray kMachines = table({"vm1", "vm1", "poweredOn", "vm-1", "vm2", "poweredOff", "vm-2"});

struct Poll
{
    unsigned type = kHostType;
    int metric = 1;
    int unit = 10;       // the value of every unit setting the type has
    QByteArray object;   // "Virtual Machine Name" or "Datastore Name"
    int mode = 0;
    const char* password = "secret";
};

class VMwareMonitors : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(kScaled);
        ASSERT_TRUE(host.load()) << qPrintable(host.error());
        ASSERT_TRUE(server.start()) << qPrintable(server.error());
    }
    void TearDown() override
    {
        for (PluginTestRecord* r : {&rec, &other})
            invalidate(*r, ZAM_INVALIDATE_CACHED_DATA | ZAM_INVALIDATE_PLUGIN_DATA);
    }

    void configure(PluginTestRecord& r, const Poll& p)
    {
        r.mon.typeIndex = p.type;
        r.mon.timeout = 10000;
        r.mon.logEnabled = 1;
        r.mon.mode = p.mode;
        r.setHost("esx1.test", "127.0.0.1", false);
        r.clearSettings();
        r.addSetting("Metric", nullptr, p.metric, 'e');
        const char* units[] = {"CPU measurement units", "CPU measurement units with percent", "Data measurement units",
                               "Data measurement units with percent", "Speed measurement units"};
        if (p.type == kDatastoreType) {
            r.addSetting("Data measurement units", nullptr, p.unit, 'e');
            r.addSetting("Time measurement units", nullptr, p.unit, 'e');
            r.addSetting("Datastore Name", p.object.constData());
        } else {
            for (const char* u : units)
                r.addSetting(u, nullptr, p.unit, 'e');
            if (p.type == kVmType)
                r.addSetting("Virtual Machine Name", p.object.constData());
        }
        r.addSetting("Domain", "");
        r.addSetting("User Name", "root", 0, 'l');
        r.addSetting("Password", p.password, 0, 'p');
    }
    int poll(PluginTestRecord& r, const Poll& p)
    {
        configure(r, p);
        return poll(r);
    }
    int poll(PluginTestRecord& r) { return host.poll(r); }
    // The operations one poll sent.
    QStringList pollOps(PluginTestRecord& r, const Poll& p, int* rc = nullptr)
    {
        server.clearLog();
        const int result = poll(r, p);
        if (rc)
            *rc = result;
        return server.operations();
    }
    void invalidate(PluginTestRecord& r, unsigned flags)
    {
        host.api().invalidate_monitor_cache(host.ctx(), host.tctx(), &r.mon, flags);
    }
    static QByteArray unit(const PluginTestRecord& r) { return r.sectionText(ZAM_SECTION_MEASURE_UNIT); }
    // The field a request of this operation asked for (pathSet, counterId, entity, ...), per request.
    QStringList fieldOf(const char* operation, const char* field) const
    {
        QStringList out;
        for (const VMwareStandIn::Request& r : server.requests()) {
            if (r.operation == QLatin1String(operation))
                out.append(r.fields.value(QLatin1String(field)));
        }
        return out;
    }

    PluginTestHost host;
    VMwareStandIn server;
    PluginTestRecord rec, other;
};

const QStringList kLogin{"RetrieveServiceContent", "Login"};
const QStringList kListing{"CreateContainerView", "CreateFilter", "WaitForUpdates"};

}  // namespace

TEST_F(VMwareMonitors, HostLogsInOnceThenSendsOnlyTheCounterRequest)
{
    int rc = -1;
    EXPECT_EQ(pollOps(rec, {}, &rc), kLogin + kListing + QStringList{"QueryPerf"});
    ASSERT_EQ(rc, 0) << rec.mon.failReason;
    EXPECT_EQ(rec.mon.perfValue, 23);
    EXPECT_EQ(unit(rec), QByteArray(" %"));
    EXPECT_EQ(fieldOf("QueryPerf", "entity"), QStringList("ha-host"));
    const QStringList lines = host.logTexts(ZAM_LOG_TRACE);
    EXPECT_EQ(lines.filter(QStringLiteral("initialize client")).size(), 2);  // and "... ok"

    EXPECT_EQ(pollOps(rec, {}, &rc), QStringList("QueryPerf"));
    EXPECT_EQ(rc, 0) << rec.mon.failReason;
    EXPECT_EQ(server.sessionCount(), 1);

    // a counter request answered with a fault drops the client; the next poll logs in again
    server.misbehave(QStringLiteral("QueryPerf"), Misbehaviour::Fault, 1);
    EXPECT_EQ(pollOps(rec, {}, &rc), (QStringList{"QueryPerf", "Logout"}));
    EXPECT_EQ(rc, 1);
    EXPECT_STREQ(rec.mon.failReason, "ESXi Server fault: Forced fault for QueryPerf");
    EXPECT_EQ(rec.mon.pluginData, nullptr);
    EXPECT_EQ(pollOps(rec, {}, &rc), kLogin + kListing + QStringList{"QueryPerf"});
    EXPECT_EQ(rc, 0) << rec.mon.failReason;
}

TEST_F(VMwareMonitors, InvalidationWithAnyFlagsDropsTheClient)
{
    for (unsigned flags : {0u, 1u, 2u, 3u, 4u, 7u}) {
        SCOPED_TRACE(flags);
        ASSERT_EQ(poll(rec, {}), 0) << rec.mon.failReason;
        ASSERT_NE(rec.mon.pluginData, nullptr);
        host.clearLog();
        invalidate(rec, flags);
        EXPECT_EQ(rec.mon.pluginData, nullptr);
        EXPECT_EQ(server.sessionCount(), 0);  // the session ended with it
        EXPECT_EQ(host.logTexts(ZAM_LOG_TRACE).filter(QStringLiteral("invalidate data")).size(), 2);
    }
    // a monitor without a client only logs
    server.clearLog();
    host.clearLog();
    invalidate(rec, 3);
    EXPECT_TRUE(server.operations().isEmpty());
    EXPECT_EQ(host.logTexts(ZAM_LOG_TRACE).filter(QStringLiteral("invalidate data")).size(), 2);
}

TEST_F(VMwareMonitors, ChangedPasswordReachesTheServerAfterInvalidation)
{
    ASSERT_EQ(poll(rec, {}), 0) << rec.mon.failReason;
    server.setCredentials(QStringLiteral("root"), QStringLiteral("n3w&pw"));
    Poll changed;
    changed.password = "n3w&pw";
    // the cached client keeps its session until the daemon drops it for the changed record
    EXPECT_EQ(pollOps(rec, changed), QStringList("QueryPerf"));
    invalidate(rec, ZAM_INVALIDATE_CACHED_DATA | ZAM_INVALIDATE_PLUGIN_DATA);
    server.clearLog();
    ASSERT_EQ(poll(rec, changed), 0) << rec.mon.failReason;
    EXPECT_EQ(fieldOf("Login", "password"), QStringList("n3w&pw"));

    // a wrong password keeps no client and sends no logout
    invalidate(rec, 3);
    Poll wrong;
    wrong.password = "secret";
    int rc = -1;
    EXPECT_EQ(pollOps(rec, wrong, &rc), kLogin);
    EXPECT_EQ(rc, 1);
    EXPECT_STREQ(rec.mon.failReason, "incorrect credentials");
    EXPECT_EQ(rec.mon.pluginData, nullptr);
}

TEST_F(VMwareMonitors, MeasurementsOfMachinesAndDatastores)
{
    struct Case
    {
        const char* label;
        Poll poll;
        QStringList operations;
        const char* asked;  // the property path or counter id of the measuring requests
        qint64 value;
        const char* unitText;
    };
    const QByteArray ds = table({"ds1", "ds1", "datastore-1", "ds2", "datastore-2"});
    const QStringList dsStart = kLogin + kListing;
    const Case cases[] = {
        {"VM CPU usage", {kVmType, 1, 1, kMachines}, kLogin + QStringList{"QueryPerf"}, "5", 800, " MHz"},
        {"VM used guest space", {kVmType, 19, 5, kMachines}, kLogin + QStringList{"RetrieveProperties", "RetrieveProperties"},
         "guest.disk", 10, " GB"},
        {"datastore capacity", {kDatastoreType, 20, 5, ds}, dsStart + QStringList{"RetrieveProperties"}, "summary.capacity", 100, " GB"},
        {"datastore read latency", {kDatastoreType, 23, 9, ds}, dsStart + QStringList{"QueryPerf"}, "655364", 2, " sec"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        PluginTestRecord r;
        int rc = -1;
        EXPECT_EQ(pollOps(r, c.poll, &rc), c.operations);
        EXPECT_EQ(rc, 0) << r.mon.failReason;
        EXPECT_EQ(r.mon.perfValue, c.value);
        EXPECT_EQ(unit(r), QByteArray(c.unitText));
        const QString last = c.operations.last();
        const QStringList asked = fieldOf(qPrintable(last), last == QLatin1String("QueryPerf") ? "counterId" : "pathSet");
        EXPECT_EQ(asked.value(0), QLatin1String(c.asked));
        // the datastore's counters are asked on the host with the datastore as instance
        if (c.poll.type == kDatastoreType && last == QLatin1String("QueryPerf")) {
            EXPECT_EQ(fieldOf("QueryPerf", "entity"), QStringList("ha-host"));
            EXPECT_EQ(fieldOf("QueryPerf", "instance"), QStringList("datastore-1"));
        }
        // the second poll reuses the session
        EXPECT_EQ(pollOps(r, c.poll), c.operations.mid(c.operations.size() - (c.poll.metric == 19 ? 2 : 1)));
        invalidate(r, 3);
    }
}

TEST_F(VMwareMonitors, StoppedSilentOrRemovedObjectDropsTheClient)
{
    const QByteArray vm2 = table({"vm2", "vm1", "poweredOn", "vm-1", "vm2", "poweredOff", "vm-2"});
    int rc = -1;
    EXPECT_EQ(pollOps(rec, Poll{kVmType, 1, 10, vm2}, &rc),
              (kLogin + QStringList{"QueryPerf", "RetrieveProperties", "Logout"}));
    EXPECT_EQ(rc, 1);
    EXPECT_STREQ(rec.mon.failReason, "Virtual Machine \"vm2\" is powered off");
    EXPECT_EQ(fieldOf("RetrieveProperties", "pathSet"), QStringList("runtime.powerState"));
    EXPECT_EQ(rec.mon.pluginData, nullptr);
    EXPECT_EQ(pollOps(rec, Poll{kVmType, 1, 10, vm2}).mid(0, 2), kLogin);

    // a running machine without the counter: the server's own silence is the reason
    EXPECT_EQ(poll(other, {kVmType, 11, 6, kMachines}), 1);
    EXPECT_STREQ(other.mon.failReason, "monitoring metric is not supported for current object");
    EXPECT_EQ(other.mon.pluginData, nullptr);

    // a stored table naming a datastore the host no longer has
    PluginTestRecord gone;
    EXPECT_EQ(poll(gone, {kDatastoreType, 20, 5, table({"ds9", "ds9", "datastore-9"})}), 1);
    EXPECT_STREQ(gone.mon.failReason,
                 "ESXi Server fault: The object 'datastore-9' has already been deleted or has not been completely created");
    EXPECT_EQ(gone.mon.pluginData, nullptr);
}

TEST_F(VMwareMonitors, EnumerationsAnswerWithTheEntityTable)
{
    struct Case
    {
        const char* label;
        Poll poll;
        QList<VMwareStandIn::Machine> machines;  // empty: the stand-in's two
        int rc;
        QByteArray table;
        const char* reason;
    };
    const QList<VMwareStandIn::Machine> allOff{{"vm-5", "vm5", "poweredOff"}, {"vm-6", "vm6", "suspended"}};
    const QByteArray dsTable = kSep + table({"ds1", "datastore-1", "ds2", "datastore-2"});
    const Case cases[] = {
        {"VM mode 1, empty name", {kVmType, 1, 10, "", 1}, {}, 0, kMachines, ""},
        {"VM mode 2 re-selects the running machine", {kVmType, 1, 10, table({"vm2", "x"}), 2}, {}, 0, kMachines, ""},
        {"VM mode 1, nothing running", {kVmType, 1, 10, "", 1}, allOff, 0,
         table({"vm5", "vm5", "poweredOff", "vm-5", "vm6", "suspended", "vm-6"}), ""},
        {"VM plain name", {kVmType, 1, 10, "vm2"}, {}, 0, "vm2" + kMachines.mid(3), ""},
        {"VM empty name in a poll", {kVmType, 1, 10, ""}, {}, 1, kMachines.mid(3), "Virtual Machine not found"},
        {"VM empty name with a table", {kVmType, 1, 10, "" + kMachines.mid(3)}, {}, 1, kMachines.mid(3), "Virtual Machine not found"},
        {"VM unknown name", {kVmType, 1, 10, "vm9"}, {}, 1, "vm9" + kMachines.mid(3), "Virtual Machine not found"},
        {"datastore mode 1 keeps ds2", {kDatastoreType, 20, 5, "ds2", 1}, {}, 0, "ds2" + dsTable, ""},
        {"datastore mode 2 picks the first", {kDatastoreType, 20, 5, "", 2}, {}, 0, "ds1" + dsTable, ""},
        {"datastore missing", {kDatastoreType, 20, 5, "ds9"}, {}, 1, "ds9" + dsTable,
         "Datastore not found"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (!c.machines.isEmpty())
            server.setMachines(c.machines);
        PluginTestRecord r;
        EXPECT_EQ(poll(r, c.poll), c.rc) << r.mon.failReason;
        EXPECT_STREQ(r.mon.failReason, c.reason);
        const int section = c.poll.type == kVmType ? ZAM_SECTION_VMWARE_VMS : ZAM_SECTION_VMWARE_DATASTORES;
        EXPECT_EQ(r.sectionText(section), c.table);
        EXPECT_EQ(r.mon.mode, 1);  // a table always leaves with mode 1
        EXPECT_TRUE(r.sectionText(ZAM_SECTION_PERF64).isEmpty());
        // a failed lookup keeps the session
        EXPECT_NE(r.mon.pluginData, nullptr);
        invalidate(r, 3);
        server.setMachines({{"vm-1", "vm1", "poweredOn"}, {"vm-2", "vm2", "poweredOff"}});
    }
}

TEST_F(VMwareMonitors, EnumerationRequestSequences)
{
    EXPECT_EQ(pollOps(rec, Poll{kVmType, 1, 10, "", 1}),
              (kLogin + kListing + QStringList{"RetrieveProperties", "RetrieveProperties"}));
    EXPECT_EQ(fieldOf("RetrieveProperties", "pathSet"), (QStringList{"runtime.powerState", "runtime.powerState"}));
    // the filter stays for the session
    EXPECT_EQ(pollOps(rec, Poll{kVmType, 1, 10, "", 1}),
              (QStringList{"WaitForUpdates", "RetrieveProperties", "RetrieveProperties"}));
    EXPECT_EQ(pollOps(other, Poll{kDatastoreType, 20, 5, "", 1}),
              (kLogin + kListing + QStringList{"RetrieveProperties", "RetrieveProperties", "RetrieveProperties"}));
    EXPECT_EQ(fieldOf("RetrieveProperties", "pathSet"), (QStringList{"datastore", "summary.name", "summary.name"}));
}

TEST_F(VMwareMonitors, SettingsTablesWholeBrokenOrAmbiguous)
{
    server.setMachines({{"vm-1", "vm1", "poweredOn"}, {"vm-3", "poweredOn", "poweredOn"}});
    server.setCounter(QStringLiteral("vm-3"), QStringLiteral("5"), QString(), 300);
    struct Case
    {
        const char* label;
        QByteArray setting;
        const char* measured;  // the machine asked for; null: no measurement, the table instead
        int rc;
    };
    const Case cases[] = {
        {"whole table", table({"vm1", "vm1", "poweredOn", "vm-1"}), "vm-1", 0},
        {"extra fields", table({"vm1", "vm1", "poweredOn", "vm-1", "x", ""}), "vm-1", 0},
        {"machine named like a state", table({"poweredOn", "vm1", "poweredOn", "vm-1", "poweredOn", "poweredOn", "vm-3"}),
         "vm-3", 0},
        {"missing state field", table({"vm1", "vm1", "vm-1"}), nullptr, 0},
        {"name only with separator", table({"vm1", ""}), nullptr, 0},
        {"empty id", table({"vm1", "vm1", "poweredOn", ""}), nullptr, 0},
        {"separators only", table({"", "", "", ""}), nullptr, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        PluginTestRecord r;
        server.clearLog();
        EXPECT_EQ(poll(r, {kVmType, 1, 1, c.setting}), c.rc) << r.mon.failReason;
        if (c.measured) {
            EXPECT_EQ(fieldOf("QueryPerf", "entity"), QStringList(c.measured));
            EXPECT_TRUE(r.sectionText(ZAM_SECTION_VMWARE_VMS).isEmpty());
        } else {
            EXPECT_TRUE(fieldOf("QueryPerf", "entity").isEmpty());
            EXPECT_TRUE(r.sectionText(ZAM_SECTION_VMWARE_VMS).endsWith(table({"", "poweredOn", "poweredOn", "vm-3"})));
        }
        invalidate(r, 3);
    }
}

TEST_F(VMwareMonitors, NamesOutsideLatin1MatchOnTheNextPoll)
{
    const QString machine = QStringLiteral("сервер-1 ☃");
    const QString store = QStringLiteral("データストア");
    server.setMachines({{"vm-7", machine, "poweredOn"}});
    server.setDatastores({{"datastore-7", store}});
    server.setCounter(QStringLiteral("vm-7"), QStringLiteral("5"), QString(), 700);
    server.setProperty(QStringLiteral("datastore-7"), QStringLiteral("summary.capacity"), QStringLiteral("2097152"));

    struct Case
    {
        unsigned type;
        int section;
        QString name;
        qint64 value;
    };
    for (const Case& c : {Case{kVmType, ZAM_SECTION_VMWARE_VMS, machine, 700},
                          Case{kDatastoreType, ZAM_SECTION_VMWARE_DATASTORES, store, 2048}}) {
        SCOPED_TRACE(c.type);
        PluginTestRecord r;
        ASSERT_EQ(poll(r, {c.type, c.type == kVmType ? 1 : 20, c.type == kVmType ? 1 : 3, "", 1}), 0) << r.mon.failReason;
        const QByteArray listed = r.sectionText(c.section);
        EXPECT_TRUE(listed.startsWith(c.name.toUtf8())) << listed.constData();
        // the service hands the table back as the setting
        EXPECT_EQ(poll(r, {c.type, c.type == kVmType ? 1 : 20, c.type == kVmType ? 1 : 3, listed}), 0) << r.mon.failReason;
        EXPECT_EQ(r.mon.perfValue, c.value);
        invalidate(r, 3);
    }
}

TEST_F(VMwareMonitors, LoginWithoutSessionCookieFailsAndRecovers)
{
    server.misbehave(QStringLiteral("Login"), Misbehaviour::NoCookie, 1);
    EXPECT_EQ(poll(rec, {}), 1);
    EXPECT_STREQ(rec.mon.failReason, "ESXi Server fault: The session is not authenticated.");
    EXPECT_EQ(rec.mon.pluginData, nullptr);
    EXPECT_EQ(poll(rec, {}), 0) << rec.mon.failReason;

    // a machine poll measures at once: its counter request finds no session
    server.misbehave(QStringLiteral("Login"), Misbehaviour::NoCookie, 1);
    EXPECT_EQ(poll(other, {kVmType, 1, 1, kMachines}), 1);
    EXPECT_STREQ(other.mon.failReason, "ESXi Server fault: The session is not authenticated.");
    EXPECT_EQ(other.mon.pluginData, nullptr);
    EXPECT_EQ(poll(other, {kVmType, 1, 1, kMachines}), 0) << other.mon.failReason;
}

TEST_F(VMwareMonitors, TenThousandMachines)
{
    QList<VMwareStandIn::Machine> machines;
    for (int i = 0; i < 10000; ++i)
        machines.append({QStringLiteral("vm-%1").arg(i), QStringLiteral("m%1").arg(i),
                         i == 9999 ? QStringLiteral("poweredOn") : QStringLiteral("poweredOff")});
    server.setMachines(machines);
    configure(rec, {kVmType, 1, 1, "", 1});
    rec.mon.logEnabled = 0;  // 40000 trace lines would only slow the test
    ASSERT_EQ(poll(rec), 0) << rec.mon.failReason;
    const QByteArray listed = rec.sectionText(ZAM_SECTION_VMWARE_VMS);
    EXPECT_EQ(listed.count(kSep), 30000);
    EXPECT_TRUE(listed.startsWith("m9999\x1Em0\x1EpoweredOff\x1Evm-0\x1E"));
    EXPECT_TRUE(listed.endsWith("\x1Em9999\x1EpoweredOn\x1Evm-9999"));
    server.setCounter(QStringLiteral("vm-9999"), QStringLiteral("5"), QString(), 99);
    EXPECT_EQ(poll(rec, {kVmType, 1, 1, listed}), 0) << rec.mon.failReason;
    EXPECT_EQ(rec.mon.perfValue, 99);
}
