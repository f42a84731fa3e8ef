// The VMware client against the stand-in ESXi server on 127.0.0.1:443 (private loopback):
// session and cookie, request sequences, metric values, every failure with its reason, bad
// answers, polls from two threads and the logout of a dropped client. Exchange limits are
// scaled down (NETAGENTD_TEST_TIME_SCALE), so a stalled answer ends in 3 s.

#include "VMware/VMwareClient.h"
#include "VMware/VMwareMetrics.h"
#include "support/CapturedMessages.h"
#include "support/PluginTestHost.h"
#include "support/PluginTestRecord.h"
#include "support/VMwareStandIn.h"

#include <gtest/gtest.h>

#include <QThread>

#include <cstdlib>
#include <functional>
#include <memory>

namespace {

// Read once at first use, so set before any test runs.
const bool kScaled = [] {
    setenv("NETAGENTD_TEST_TIME_SCALE", "0.1", 1);
    return true;
}();

const QString kHost = QStringLiteral("127.0.0.1");
const QString kNoConnection = QStringLiteral("no connection on 127.0.0.1");
using Misbehaviour = VMwareStandIn::Misbehaviour;

class VMwareClientTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(kScaled);
        ASSERT_TRUE(server.start()) << qPrintable(server.error());
        zam_plugin_register_log_cb(&PluginTestHost::logSink);
        rec.mon.logEnabled = 1;
        rec.mon.timeout = 60000;
    }
    void TearDown() override { zam_plugin_register_log_cb(nullptr); }

    std::unique_ptr<VMwareClient> connected()
    {
        auto client = std::make_unique<VMwareClient>();
        client->setMonitor(&rec.mon);
        EXPECT_TRUE(client->connectToServer(kHost, QStringLiteral("root"), QStringLiteral("secret")))
            << qPrintable(client->getError());
        return client;
    }
    // A connected client watching the host, with the stand-in's log emptied.
    std::unique_ptr<VMwareClient> onHost()
    {
        auto client = connected();
        VMwareObject host;
        EXPECT_TRUE(client->getHostObject(host)) << qPrintable(client->getError());
        client->setObject(host);
        server.clearLog();
        return client;
    }

    PluginTestHost log{QString()};
    PluginTestRecord rec;
    VMwareStandIn server;
};

}  // namespace

TEST_F(VMwareClientTest, SessionCookieCarriesEveryLaterRequest)
{
    auto client = connected();
    EXPECT_EQ(server.operations(), QStringList({"RetrieveServiceContent", "Login"}));
    QList<VMwareObject> machines;
    ASSERT_TRUE(client->getVirtualMachineObjects(machines)) << qPrintable(client->getError());
    ASSERT_EQ(machines.size(), 2);
    EXPECT_EQ(machines[1].id, QLatin1String("vm-2"));
    EXPECT_EQ(machines[1].name, QLatin1String("vm2"));
    VMwareObject host;
    ASSERT_TRUE(client->getHostObject(host));
    EXPECT_EQ(host.id, QLatin1String("ha-host"));
    // the view and the filter are made once per session
    EXPECT_EQ(server.operations(), QStringList({"RetrieveServiceContent", "Login", "CreateContainerView", "CreateFilter",
                                                "WaitForUpdates", "WaitForUpdates"}));
    const QList<VMwareStandIn::Request> log = server.requests();
    const QByteArray cookie = log[2].cookie;
    EXPECT_TRUE(cookie.startsWith("vmware_soap_session=\"")) << cookie.constData();
    for (int i = 0; i < log.size(); ++i) {
        SCOPED_TRACE(qPrintable(log[i].operation));
        EXPECT_EQ(log[i].cookie, i < 2 ? QByteArray() : cookie);
        EXPECT_EQ(log[i].contentType, QByteArray("application/soap+xml"));
        EXPECT_FALSE(log[i].soapAction);
    }
    QString state;
    ASSERT_TRUE(client->getVirtualMachineState(machines[1], state));
    EXPECT_EQ(state, QLatin1String("poweredOff"));
    ASSERT_TRUE(client->initHypervisorSystemId());
    QList<VMwareObject> stores;
    ASSERT_TRUE(client->getDatastoreObjects(stores));
    ASSERT_EQ(stores.size(), 2);
    EXPECT_EQ(stores[1].id + '=' + stores[1].name, QLatin1String("datastore-2=ds2"));
}

TEST_F(VMwareClientTest, PasswordIsEscapedAndNeverLogged)
{
    const QString password = QStringLiteral("s3cr&t<pw>");
    server.setCredentials(QStringLiteral("root"), password);
    VMwareClient client;
    client.setMonitor(&rec.mon);
    ASSERT_TRUE(client.connectToServer(kHost, QStringLiteral("root"), password)) << qPrintable(client.getError());
    EXPECT_EQ(server.requests().value(1).fields.value(QStringLiteral("password")), password);
    const QStringList lines = log.logTexts(ZAM_LOG_TRACE);
    bool loginLogged = false;
    for (const QString& line : lines) {
        EXPECT_FALSE(line.contains(QLatin1String("s3cr"))) << qPrintable(line);
        loginLogged = loginLogged || (line.contains(QLatin1String("set request ok: '")) && line.contains(QLatin1String("<ns0:password>********</ns0:password>")));
    }
    EXPECT_TRUE(loginLogged);
    EXPECT_TRUE(lines.filter(QStringLiteral("connect to '127.0.0.1' as 'root'")).size() == 1);
    EXPECT_TRUE(lines.filter(QStringLiteral("connect ok")).size() == 1);
}

TEST_F(VMwareClientTest, ConnectFailuresTable)
{
    struct Case
    {
        const char* label;
        std::function<void(VMwareStandIn&)> setUp;
        const char* reason;
        QStringList operations;
    };
    const Case cases[] = {
        {"service content without perfManager", [](VMwareStandIn& s) { s.omitServiceContentField(QStringLiteral("perfManager")); },
         "not connected to ESXi Server", {"RetrieveServiceContent"}},
        {"login fault", [](VMwareStandIn& s) { s.setCredentials(QStringLiteral("root"), QStringLiteral("other")); },
         "incorrect credentials", {"RetrieveServiceContent", "Login"}},
        {"service content not XML", [](VMwareStandIn& s) { s.misbehave(QStringLiteral("RetrieveServiceContent"), Misbehaviour::Malformed); },
         "not connected to ESXi Server", {"RetrieveServiceContent"}},
        {"service content truncated", [](VMwareStandIn& s) { s.misbehave(QStringLiteral("RetrieveServiceContent"), Misbehaviour::Truncated); },
         "not connected to ESXi Server", {"RetrieveServiceContent"}},
        {"service content redirected", [](VMwareStandIn& s) { s.misbehave(QStringLiteral("RetrieveServiceContent"), Misbehaviour::Redirect); },
         "not connected to ESXi Server", {"RetrieveServiceContent"}},
        {"login answered by a plain error page", [](VMwareStandIn& s) { s.misbehave(QStringLiteral("Login"), Misbehaviour::Plain500); },
         "incorrect credentials", {"RetrieveServiceContent", "Login"}},
        {"login stalls", [](VMwareStandIn& s) { s.misbehave(QStringLiteral("Login"), Misbehaviour::Stall); },
         "incorrect credentials", {"RetrieveServiceContent", "Login"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        VMwareStandIn standIn;
        server.stop();
        c.setUp(standIn);
        ASSERT_TRUE(standIn.start()) << qPrintable(standIn.error());
        {
            VMwareClient client;
            client.setMonitor(&rec.mon);
            EXPECT_FALSE(client.connectToServer(kHost, QStringLiteral("root"), QStringLiteral("secret")));
            EXPECT_EQ(client.getError(), QLatin1String(c.reason));
            EXPECT_FALSE(client.isLoggedIn());
        }
        // a client that never logged in sends no logout
        EXPECT_EQ(standIn.operations(), c.operations);
    }
    // nothing listening at all
    VMwareClient client;
    EXPECT_FALSE(client.connectToServer(QStringLiteral("127.0.0.2"), QStringLiteral("root"), QStringLiteral("secret")));
    EXPECT_EQ(client.getError(), QLatin1String("not connected to ESXi Server"));
}

TEST_F(VMwareClientTest, MetricValuesFromCountersAndProperties)
{
    struct Case
    {
        const char* label;
        VMwareObject object;
        int metric;
        int unit;
        const char* operation;
        const char* request;  // the counter or property path asked for
        qint64 value;
        const char* unitText;
    };
    const VMwareObject host{VMwareHostSystem, QStringLiteral("ha-host"), QStringLiteral("esx1.test")};
    const VMwareObject vm1{VMwareVirtualMachine, QStringLiteral("vm-1"), QStringLiteral("vm1")};
    const VMwareObject ds1{VMwareDatastore, QStringLiteral("datastore-1"), QStringLiteral("ds1")};
    const Case cases[] = {
        {"CPU usage in percent", host, 1, 10, "QueryPerf", "1", 23, " %"},
        {"CPU usage in GHz", host, 1, 2, "QueryPerf", "5", 2, " GHz"},
        {"memory consumed", host, 5, 4, "QueryPerf", "65611", 1024, " MB"},
        {"network receive", host, 12, 6, "QueryPerf", "196618", 800, " kbit/s"},
        {"network transmit", host, 13, 7, "QueryPerf", "196619", 7, " Mbit/s"},
        {"VM CPU usage", vm1, 1, 1, "QueryPerf", "5", 800, " MHz"},
        {"guest total space", vm1, 17, 5, "RetrieveProperties", "guest.disk", 15, " GB"},
        {"guest free space", vm1, 18, 5, "RetrieveProperties", "guest.disk", 5, " GB"},
        {"datastore capacity", ds1, 20, 5, "RetrieveProperties", "summary.capacity", 100, " GB"},
        {"datastore read latency", ds1, 23, 9, "QueryPerf", "655364", 2, " sec"},
    };
    auto client = onHost();
    ASSERT_TRUE(client->initHypervisorSystemId());
    for (const bool indented : {false, true}) {
        server.setIndented(indented);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.label) + (indented ? " (indented)" : " (compact)"));
            server.clearLog();
            client->setObject(c.object);
            qint64 value = 0;
            ASSERT_TRUE(client->getResult(c.metric, c.unit, value)) << qPrintable(client->getError());
            EXPECT_TRUE(client->getError().isEmpty());
            QString text;
            VMwareMetrics::convertMetric(c.unit, text, value);
            EXPECT_EQ(value, c.value);
            EXPECT_EQ(text, QLatin1String(c.unitText));
            const VMwareStandIn::Request request = server.requests().value(0);
            EXPECT_EQ(request.operation, QLatin1String(c.operation));
            const QString asked = request.fields.value(request.operation == QLatin1String("QueryPerf") ? "counterId" : "pathSet");
            EXPECT_EQ(asked, QLatin1String(c.request));
            if (c.object.type == VMwareDatastore && request.operation == QLatin1String("QueryPerf")) {
                // datastore counters live on the host, with the datastore as instance
                EXPECT_EQ(request.fields.value(QStringLiteral("entity")), QLatin1String("ha-host"));
                EXPECT_EQ(request.fields.value(QStringLiteral("instance")), QLatin1String("datastore-1"));
            }
        }
    }
    // usage space reads both disk sums
    server.clearLog();
    client->setObject(vm1);
    qint64 used = 0;
    ASSERT_TRUE(client->getResult(19, 5, used));
    EXPECT_EQ(used, 10LL * 1024 * 1024);
    EXPECT_EQ(server.operations(), QStringList({"RetrieveProperties", "RetrieveProperties"}));
}

TEST_F(VMwareClientTest, MetricFailuresHaveTheirOwnReason)
{
    struct Case
    {
        const char* label;
        VMwareObject object;
        int metric;
        std::function<void(VMwareStandIn&)> setUp;
        QString reason;
    };
    const VMwareObject host{VMwareHostSystem, QStringLiteral("ha-host"), QString()};
    const VMwareObject vm2{VMwareVirtualMachine, QStringLiteral("vm-2"), QStringLiteral("vm2")};
    const auto none = [](VMwareStandIn&) {};
    const auto perf = [](Misbehaviour how) {
        return [how](VMwareStandIn& s) { s.misbehave(QStringLiteral("QueryPerf"), how, 1); };
    };
    const Case cases[] = {
        {"metric 0", host, 0, none, QStringLiteral("Unknown metric")},
        {"metric 25", host, 25, none, QStringLiteral("Unknown metric")},
        {"counter without sample", host, 16, none, QStringLiteral("monitoring metric is not supported for current object")},
        {"no guest tools", vm2, 18, none, QStringLiteral("need to install VMware Tools on virtual machine")},
        {"counter that is no number",
         host, 2, [](VMwareStandIn& s) { s.setCounterText(QStringLiteral("ha-host"), QStringLiteral("23"), QString(), QStringLiteral("n/a")); },
         QStringLiteral("malformed answer from 127.0.0.1")},
        {"fault", host, 1, perf(Misbehaviour::Fault), QStringLiteral("ESXi Server fault: Forced fault for QueryPerf")},
        {"not XML", host, 1, perf(Misbehaviour::Malformed), QStringLiteral("malformed answer from 127.0.0.1")},
        {"truncated", host, 1, perf(Misbehaviour::Truncated), kNoConnection},
        {"redirect", host, 1, perf(Misbehaviour::Redirect), kNoConnection},
        {"plain 500", host, 1, perf(Misbehaviour::Plain500), kNoConnection},
        {"50 MB body announced", host, 1, perf(Misbehaviour::Huge), QStringLiteral("answer from 127.0.0.1 is larger than 16 MB")},
        {"50 MB body chunked", host, 1, perf(Misbehaviour::HugeChunked), QString()},
        {"stall past the limit", host, 1, perf(Misbehaviour::Stall), kNoConnection},
        // the readable part of the answer holds the whole sample: it must not count
        {"whole document, then silence past the limit", host, 1, perf(Misbehaviour::PartialStall), kNoConnection},
        {"guest disks stall", vm2, 17,
         [](VMwareStandIn& s) { s.misbehave(QStringLiteral("RetrieveProperties"), Misbehaviour::Stall, 1); }, kNoConnection},
    };
    auto client = onHost();
    const QString tooLarge = QStringLiteral("answer from 127.0.0.1 is larger than 16 MB");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        c.setUp(server);
        client->setObject(c.object);
        qint64 value = 7;
        EXPECT_FALSE(client->getResult(c.metric, 10, value));
        EXPECT_EQ(value, -1);
        if (c.reason.isEmpty()) {
            // a stream without announced length is cut at the limit, or by the time limit
            // on a slow machine: either way it is dropped
            EXPECT_TRUE(client->getError() == tooLarge || client->getError() == kNoConnection)
                << qPrintable(client->getError());
        } else {
            EXPECT_EQ(client->getError(), c.reason);
        }
        server.releaseStalls();
        // the next exchange starts clean and works
        client->setObject(host);
        ASSERT_TRUE(client->getResult(1, 10, value)) << qPrintable(client->getError());
        EXPECT_EQ(value, 2345);
        EXPECT_TRUE(client->getError().isEmpty());
    }
}

TEST_F(VMwareClientTest, MissingCookieAndBrokenListing)
{
    server.misbehave(QStringLiteral("Login"), Misbehaviour::NoCookie, 1);
    auto client = connected();
    VMwareObject host;
    EXPECT_FALSE(client->getHostObject(host));
    EXPECT_EQ(client->getError(), QLatin1String("ESXi Server fault: The session is not authenticated."));

    // a listing whose filter failed makes view and filter again next time
    client = connected();
    server.clearLog();
    server.misbehave(QStringLiteral("CreateFilter"), Misbehaviour::Fault, 1);
    EXPECT_FALSE(client->getHostObject(host));
    EXPECT_EQ(client->getError(), QLatin1String("ESXi Server fault: Forced fault for CreateFilter"));
    ASSERT_TRUE(client->getHostObject(host)) << qPrintable(client->getError());
    EXPECT_EQ(server.operations(), QStringList({"CreateContainerView", "CreateFilter", "CreateContainerView",
                                                "CreateFilter", "WaitForUpdates"}));
    // a listing without objects of the kind
    server.setMachines({});
    QList<VMwareObject> machines;
    EXPECT_FALSE(client->getVirtualMachineObjects(machines));
    EXPECT_EQ(client->getError(), QLatin1String("no VirtualMachine found on 127.0.0.1"));
}

TEST_F(VMwareClientTest, PollsFromTwoThreadsWithoutQtWarnings)
{
    CapturedMessages messages;
    std::unique_ptr<VMwareClient> client;
    qint64 first = 0, second = 0;
    // the first task thread makes and connects the client, the second one polls it
    std::unique_ptr<QThread> a(QThread::create([&] {
        client = onHost();
        client->getResult(1, 10, first);
    }));
    a->start();
    ASSERT_TRUE(a->wait(20000));
    std::unique_ptr<QThread> b(QThread::create([&] { client->getResult(1, 10, second); }));
    b->start();
    ASSERT_TRUE(b->wait(20000));
    EXPECT_EQ(first, 2345);
    EXPECT_EQ(second, 2345);
    std::unique_ptr<QThread> c(QThread::create([&] { client.reset(); }));
    c->start();
    ASSERT_TRUE(c->wait(20000));
    EXPECT_TRUE(server.operations().endsWith(QStringLiteral("Logout")));
    EXPECT_TRUE(CapturedMessages::lines().isEmpty()) << qPrintable(CapturedMessages::lines().join('\n'));
}

TEST_F(VMwareClientTest, DroppedClientLogsOutWhenTheServerAnswered)
{
    auto client = onHost();
    EXPECT_EQ(server.sessionCount(), 1);
    client.reset();
    EXPECT_EQ(server.operations(), QStringList({"Logout"}));
    EXPECT_EQ(server.sessionCount(), 0);
    EXPECT_FALSE(server.requests().value(0).cookie.isEmpty());

    // a failed answer (fault) still counts as the server answering
    client = onHost();
    server.misbehave(QStringLiteral("QueryPerf"), Misbehaviour::Fault, 1);
    qint64 value = 0;
    EXPECT_FALSE(client->getResult(1, 10, value));
    client.reset();
    EXPECT_EQ(server.operations(), QStringList({"QueryPerf", "Logout"}));

    // after a stall there is nobody to wait for
    client = onHost();
    server.misbehave(QStringLiteral("QueryPerf"), Misbehaviour::Stall, 1);
    EXPECT_FALSE(client->getResult(1, 10, value));
    client.reset();
    EXPECT_EQ(server.operations(), QStringList({"QueryPerf"}));
    server.releaseStalls();

    // a logout that stalls is given up within its limit
    client = onHost();
    server.misbehave(QStringLiteral("Logout"), Misbehaviour::Stall, 1);
    client.reset();
    EXPECT_EQ(server.operations(), QStringList({"Logout"}));
    EXPECT_FALSE(log.logTexts(ZAM_LOG_TRACE).filter(QStringLiteral("logout: no connection on 127.0.0.1")).isEmpty());
}
