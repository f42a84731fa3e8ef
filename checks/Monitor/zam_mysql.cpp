// "MySQL Database" monitor type: connects to a MySQL or MariaDB server, optionally over TLS,
// runs the monitor's SQL text and reports the first value of the first result set, with the
// time the connection and query took. Every wait is bounded by the monitor's time-out
// (CMysqlConnection). The client library starts once per process under g_mysqlLock and once
// per task thread (flag in the thread context); each poll has its own connection.

#include "CMysqlConnection.h"
#include "DbFirstValue.h"
#include "zam_core_context.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"
#include "zam_settings.h"

#include <mysql.h>

#include <cstring>
#include <mutex>
#include <string>

// The client library's process-wide start is not thread-safe, so it runs under a lock.
static std::mutex g_mysqlLock;
static bool g_mysqlStarted = false;

void pluginMysqlInit()
{
    std::lock_guard<std::mutex> lock(g_mysqlLock);
    if (!g_mysqlStarted)
        g_mysqlStarted = mysql_library_init(0, nullptr, nullptr) == 0;
}

void pluginMysqlTerm()
{
    std::lock_guard<std::mutex> lock(g_mysqlLock);
    if (g_mysqlStarted) {
        mysql_library_end();
        g_mysqlStarted = false;
    }
}

void pluginMysqlInitThread(stCoreZamThreadContext* tctx)
{
    if (!tctx || tctx->mysqlThreadInit)
        return;
    tctx->mysqlThreadInit = mysql_thread_init() == 0 ? 1 : 0;
}

void pluginMysqlTermThread(stCoreZamThreadContext* tctx)
{
    if (!tctx || !tctx->mysqlThreadInit)
        return;
    mysql_thread_end();
    tctx->mysqlThreadInit = 0;
}

namespace {

struct MysqlTarget {
    std::string host;
    int port = 0;
    std::string database, sql, user, password, caFolder, caFile;
    int useTls = 0, allowInsecure = 0, caIsFolder = 0;
};

bool clientReady(stZamMonitor* mon, stCoreZamThreadContext* tctx)
{
    {
        std::lock_guard<std::mutex> lock(g_mysqlLock);
        if (!g_mysqlStarted) {
            // a start that failed at load is tried again on every poll
            zamLogMonitorPlugin_QStr(mon, QStringLiteral("initialize"));
            if (mysql_library_init(0, nullptr, nullptr) != 0) {
                setMonFailReason(mon, "Cannot initialize MySQL client library");
                return false;
            }
            if (mysql_thread_safe() != 1) {
                mysql_library_end();
                setMonFailReason(mon, "MySQL client library is not thread safe");
                return false;
            }
            g_mysqlStarted = true;
            zamLogMonitorPlugin_QStr(mon, QStringLiteral("initialize ok"));
        }
    }
    if (!tctx) {
        setMonFailReason(mon, "Thread context is NULL");
        return false;
    }
    if (!tctx->mysqlThreadInit) {
        if (mysql_thread_init() != 0) {
            setMonFailReason(mon, "Cannot initialize MySQL library for current thread");
            return false;
        }
        tctx->mysqlThreadInit = 1;
    }
    return true;
}

// Columns whose text is not a number even when it looks like one.
bool numericColumn(enum_field_types type)
{
    if (type == MYSQL_TYPE_TIMESTAMP)
        return false;
    return type < MYSQL_TYPE_DATE || type == MYSQL_TYPE_YEAR || type == MYSQL_TYPE_NEWDECIMAL;
}

// Sets the reason for a connection step that did not finish; a step cut off by the budget, or
// failing once it is spent, is a time-out whatever the client library says.
bool stepFailed(stZamMonitor* mon, CMysqlConnection& conn, CMysqlConnection::Status status, const CTimeWatcher& budget,
                const char* format)
{
    if (status == CMysqlConnection::TimedOut || budget.expired())
        setMonFailReason(mon, "Timeout exceeded");
    else if (status == CMysqlConnection::Aborted)
        setMonFailReason(mon, "Operation aborted");
    else
        setMonFailReasonFmt(mon, format, conn.error());
    return false;
}

// The first value of the statement batch's first result set, read without buffering the rest.
bool readFirstValue(stZamMonitor* mon, CMysqlConnection& conn, const CTimeWatcher& budget)
{
    for (;;) {
        MYSQL_RES* result = nullptr;
        conn.useResult(&result);
        if (!result) {
            if (mysql_field_count(conn.handle()) != 0) {
                setMonFailReasonFmt(mon, "Cannot execute query: %s", conn.error());
                return false;
            }
            int more = -1;
            const CMysqlConnection::Status s = conn.nextResult(&more);
            if (s != CMysqlConnection::Ok)
                return stepFailed(mon, conn, s, budget, "Cannot get next result: %s");
            if (more > 0) {
                setMonFailReasonFmt(mon, "Cannot get next result: %s", conn.error());
                return false;
            }
            if (more < 0) {
                setMonFailReason(mon, "Query has not returned any records");
                return false;
            }
            continue;
        }
        MYSQL_ROW row = nullptr;
        const CMysqlConnection::Status s = conn.fetchRow(result, &row);
        if (s != CMysqlConnection::Ok)
            return stepFailed(mon, conn, s, budget, "Cannot execute query: %s");
        if (!row) {
            if (conn.errorNumber() != 0)
                setMonFailReasonFmt(mon, "Cannot execute query: %s", conn.error());
            else
                setMonFailReason(mon, "Result set is empty");
            return false;
        }
        if (mysql_num_fields(result) == 0) {
            setMonFailReason(mon, "Result set has no columns");
            return false;
        }
        const MYSQL_FIELD* field = mysql_fetch_field_direct(result, 0);
        if (!field) {
            setMonFailReason(mon, "Cannot get information for the first field");
            return false;
        }
        if (!row[0]) {
            setMonFailReason(mon, "First value is NULL");
            return false;
        }
        if (!numericColumn(field->type)) {
            setMonFailReason(mon, "First value is not number");
            return false;
        }
        if (field->length == 0) {
            setMonFailReason(mon, "First value is empty");
            return false;
        }
        const unsigned long* lengths = mysql_fetch_lengths(result);
        const DbFirstValue value = parseDbFirstValue(row[0], lengths ? lengths[0] : std::strlen(row[0]));
        mon->perfValue = value.value;
        return true;
    }
}

bool exec(stZamMonitor* mon, stCoreZamThreadContext* tctx, const MysqlTarget& t, bool useTls, const CTimeWatcher& budget)
{
    if (!clientReady(mon, tctx))
        return false;
    CMysqlConnection conn(budget, mon->stillAlive, mon->stillAliveContext);
    if (!conn.init()) {
        setMonFailReason(mon, "Cannot initialize connection handle");
        return false;
    }
    if (useTls) {
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("prepare to use ssl"));
        if (t.caIsFolder == 1)
            conn.requireTls(std::string(), t.caFolder);
        else
            conn.requireTls(t.caFile, std::string());
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("prepare to use ssl ok"));
    }
    if (budget.expired()) {
        setMonFailReason(mon, "Timeout exceeded");
        return false;
    }
    const uint32_t start = CTimeWatcher::nowMillisec();
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("connect to '%1:%2' db='%3' as %4")
                                      .arg(QString::fromUtf8(t.host.c_str()))
                                      .arg(t.port)
                                      .arg(QString::fromUtf8(t.database.c_str()), QString::fromUtf8(t.user.c_str())));
    CMysqlConnection::Status s = conn.connect(t.host.c_str(), t.user.c_str(), t.password.c_str(), t.database.c_str(),
                                              static_cast<unsigned>(t.port), CLIENT_MULTI_STATEMENTS);
    if (s != CMysqlConnection::Ok)
        return stepFailed(mon, conn, s, budget, "Cannot connect to server: %s");
    if (useTls) {
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("get ssl cipher"));
        if (!conn.cipher()) {
            setMonFailReason(mon, "Cannot establish SSL connection. Set 'Use SSL/TLS connection' to 'No', if you want to "
                                  "use unencrypted connection");
            return false;
        }
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("get ssl cipher ok"));
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("execute query: '%1'").arg(QString::fromUtf8(t.sql.c_str())));
    s = conn.query(t.sql);
    if (s != CMysqlConnection::Ok)
        return stepFailed(mon, conn, s, budget, "Cannot execute query: %s");
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("execute query ok"));
    if (!readFirstValue(mon, conn, budget))
        return false;
    const uint32_t elapsed = CTimeWatcher::nowMillisec() - start;
    mon->resultValue += elapsed == 0 ? 1 : static_cast<int>(elapsed);
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("response time: %1 msec").arg(mon->resultValue));
    return true;
}

int failServer(stZamMonitor* mon)
{
    const int rc = setMonFailure(mon);
    mon->resultCode = 2;
    return rc;
}

}  // namespace

int poll_mysql(stCoreZamContext*, stCoreZamThreadContext* tctx, const stZamMonitorType*, stZamMonitor* mon)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings"));
    MysqlTarget t;
    const PluginOption options[] = {
        {'i', "Port", 0x1, &t.port, nullptr, nullptr},
        {'s', "Database Name", 0x2, nullptr, &t.database, nullptr},
        {'s', "SQL Expression", 0x4, nullptr, &t.sql, nullptr},
        {'l', "User Name", 0x8, nullptr, &t.user, nullptr},
        {'p', "Password", 0x10, nullptr, &t.password, nullptr},
        {'e', "Use SSL/TLS connection", 0x20, &t.useTls, nullptr, nullptr},
        {'w', "Trusted CA path", 0x40, nullptr, &t.caFolder, nullptr},
        {'e', "Allow non-secure authentication", 0x80, &t.allowInsecure, nullptr, nullptr},
        {'w', "Trusted CA certificate", 0x100, nullptr, &t.caFile, nullptr},
        {'e', "Use folder or file as CA path", 0x200, &t.caIsFolder, nullptr, nullptr},
        {0, nullptr, 0, nullptr, nullptr, nullptr},
    };
    int found = 0;
    if (!pluginParseSettings(&mon->settings, options, &found) || !optionsPresent(found, 0x3ff)) {
        setMonFailReason(mon, "Incorrect monitor settings");
        return setMonFailure(mon);
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings ok"));
    t.host = mon->useHostName ? std::string(mon->hostName, boundedLength(mon->hostName, sizeof mon->hostName))
                              : std::string(mon->hostAddress, boundedLength(mon->hostAddress, sizeof mon->hostAddress));
    mon->resultValue = 0;
    // one budget for the whole poll, a second plain attempt included
    const CTimeWatcher budget(mon->timeout > 0 ? mon->timeout : 1000);

    if (t.useTls > 0) {
        if (exec(mon, tctx, t, true, budget)) {
            zamLogMonitorPlugin_QStr(mon, QStringLiteral("poll ok"));
            return setMonSuccess(mon);
        }
        if (t.useTls == 1)
            return failServer(mon);
        mon->failReason[0] = '\0';
    }
    if (exec(mon, tctx, t, false, budget)) {
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("poll ok"));
        return setMonSuccess(mon);
    }
    return failServer(mon);
}
