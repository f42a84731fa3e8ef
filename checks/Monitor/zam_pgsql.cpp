// "PostgreSQL Database" monitor type: connects to a PostgreSQL server with libpq, TLS required
// or off, runs the monitor's SQL text and reports the first value of the deciding result, with
// the time the connection and query took. The connection and the statement are bounded by the
// monitor's time-out, on the client (CPgsqlConnection) and on the server (statement_timeout).
// libpq needs no process or thread start; each poll has its own connection on its task thread.

#include "CPgsqlConnection.h"
#include "DbFirstValue.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"
#include "zam_settings.h"

#include <memory>
#include <string>
#include <vector>

// The hooks exist so both database types start alike.
void pluginPgsqlInit() {}
void pluginPgsqlTerm() {}
void pluginPgsqlInitThread(stCoreZamThreadContext*) {}
void pluginPgsqlTermThread(stCoreZamThreadContext*) {}

namespace {

// SQLSTATE of a statement the server cancelled (here: statement_timeout).
constexpr const char* kQueryCanceled = "57014";
// What a connection pooler answers to server options in the start-up packet.
constexpr const char* kOptionsRefused = "unsupported startup parameter";

int failServer(stZamMonitor* mon, const char* reason)
{
    setMonFailReason(mon, reason);
    const int rc = setMonFailure(mon);
    mon->resultCode = 2;
    return rc;
}

int failStep(stZamMonitor* mon, CPgsqlConnection::Status status, const CTimeWatcher& budget, const std::string& text)
{
    if (status == CPgsqlConnection::TimedOut || budget.expired())
        return failServer(mon, "Timeout exceeded");
    if (status == CPgsqlConnection::Aborted)
        return failServer(mon, "Operation aborted");
    return failServer(mon, text.c_str());
}

}  // namespace

int poll_pgsql(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings"));
    int port = 0, useTls = 0;
    std::string database, sql, user, password;
    const PluginOption options[] = {
        {'i', "Port", 0x1, &port, nullptr, nullptr},
        {'s', "Database Name", 0x2, nullptr, &database, nullptr},
        {'s', "SQL Expression", 0x4, nullptr, &sql, nullptr},
        {'l', "User Name", 0x8, nullptr, &user, nullptr},
        {'p', "Password", 0x10, nullptr, &password, nullptr},
        {'e', "Use SSL/TLS connection", 0x20, &useTls, nullptr, nullptr},
        {0, nullptr, 0, nullptr, nullptr, nullptr},
    };
    int found = 0;
    if (!pluginParseSettings(&mon->settings, options, &found) || !optionsPresent(found, 0x3f)) {
        setMonFailReason(mon, "Incorrect monitor settings");
        return setMonFailure(mon);
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings ok"));
    const std::string host = mon->useHostName
                                 ? std::string(mon->hostName, boundedLength(mon->hostName, sizeof mon->hostName))
                                 : std::string(mon->hostAddress, boundedLength(mon->hostAddress, sizeof mon->hostAddress));
    const int timeoutMs = mon->timeout > 0 ? mon->timeout : 1000;
    const std::string portText = std::to_string(port);
    const std::string connectTimeout = std::to_string(mon->timeout > 0 ? (mon->timeout + 999) / 1000 : 1);
    // the server ends a statement that outlives the budget even when nobody reads its answer
    const std::string serverOptions = "-c statement_timeout=" + std::to_string(timeoutMs);
    const char* sslMode = useTls > 0 ? "require" : "disable";
    mon->resultValue = 0;
    const CTimeWatcher budget(timeoutMs);

    std::vector<const char*> keywords = {"host", "port", "dbname", "user", "password", "sslmode", "connect_timeout",
                                         "options"};
    std::vector<const char*> values = {host.c_str(), portText.c_str(), database.c_str(), user.c_str(), password.c_str(),
                                       sslMode, connectTimeout.c_str(), serverOptions.c_str()};
    const uint32_t start = CTimeWatcher::nowMillisec();
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("connect to '%1:%2' db='%3' as %4 ssl=%5")
                                      .arg(QString::fromUtf8(host.c_str()))
                                      .arg(port)
                                      .arg(QString::fromUtf8(database.c_str()), QString::fromUtf8(user.c_str()),
                                           QLatin1String(sslMode)));
    auto conn = std::make_unique<CPgsqlConnection>(budget, mon->stillAlive, mon->stillAliveContext);
    CPgsqlConnection::Status s = conn->connect(keywords, values);
    if (s == CPgsqlConnection::Failed && conn->error().find(kOptionsRefused) != std::string::npos) {
        // a pooler in front of the server (pgbouncer) takes no server options: the client's
        // own bound must do
        keywords.pop_back();
        values.pop_back();
        conn = std::make_unique<CPgsqlConnection>(budget, mon->stillAlive, mon->stillAliveContext);
        s = conn->connect(keywords, values);
    }
    if (s != CPgsqlConnection::Ok)
        return failStep(mon, s, budget, "Cannot connect to server: " + conn->error());
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("connect ok"));
    if (budget.expired())
        return failServer(mon, "Timeout exceeded");

    zamLogMonitorPlugin_QStr(mon, QStringLiteral("execute query: '%1'").arg(QString::fromUtf8(sql.c_str())));
    CPgsqlConnection::Outcome outcome;
    s = conn->execute(sql, &outcome);
    if (s != CPgsqlConnection::Ok)
        return failStep(mon, s, budget, "Cannot execute query: " + conn->error());
    if (outcome.status == PGRES_COMMAND_OK)
        return failServer(mon, "Query has not returned any records");
    if (outcome.status != PGRES_TUPLES_OK) {
        if (outcome.sqlState == kQueryCanceled)
            return failServer(mon, "Timeout exceeded");
        return failServer(mon, ("Cannot execute query: " + outcome.error).c_str());
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("execute query ok"));
    if (!outcome.hasRow)
        return failServer(mon, "Result set is empty");
    if (outcome.columns == 0)
        return failServer(mon, "Result set has no columns");
    if (outcome.firstIsNull)
        return failServer(mon, "First value is NULL");
    if (outcome.firstValue.empty())
        return failServer(mon, "First value is empty");
    const DbFirstValue value = parseDbFirstValue(outcome.firstValue.data(), outcome.firstValue.size());
    // a text with no number at its start is no measurement, not a zero
    if (!value.hasDigits)
        return failServer(mon, "First value is not number");
    mon->perfValue = value.value;
    const uint32_t elapsed = CTimeWatcher::nowMillisec() - start;
    mon->resultValue += elapsed == 0 ? 1 : static_cast<int>(elapsed);
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("response time: %1 msec").arg(mon->resultValue));
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("poll ok"));
    return setMonSuccess(mon);
}
