#pragma once
// One MariaDB/MySQL client connection of one poll, driven through the client library's
// non-blocking calls so that every wait is bounded by the poll's budget and by the host's stop
// request. The connection and any result are released by the destructor; a connection whose
// operation was cut off is cancelled before it is closed, so closing never waits on the peer.
// Owned by one poll on one task thread; no locks.

#include "CTimeWatcher.h"
#include "zam_plugin_api.h"

#include <mysql.h>

#include <string>

class CMysqlConnection
{
public:
    enum Status { Ok, Failed, TimedOut, Aborted };

    CMysqlConnection(const CTimeWatcher& budget, ZamStillAliveCallback stillAlive, void* stillAliveContext);
    ~CMysqlConnection();
    CMysqlConnection(const CMysqlConnection&) = delete;
    CMysqlConnection& operator=(const CMysqlConnection&) = delete;

    // mysql_init and the client's own time-outs from the budget; false when no handle.
    bool init();
    // Requires TLS; a CA file or folder (empty: none) is also checked against the server.
    void requireTls(const std::string& caFile, const std::string& caFolder);
    Status connect(const char* host, const char* user, const char* password, const char* database, unsigned port,
                   unsigned long clientFlags);
    const char* cipher() const;
    Status query(const std::string& sql);
    // The next result set of the statement batch, unbuffered: rows are fetched one by one.
    // Null with Ok when the statement returned no rows.
    Status useResult(MYSQL_RES** result);
    // 0 more results follow, -1 no more, above 0 an error (as mysql_next_result).
    Status nextResult(int* more);
    Status fetchRow(MYSQL_RES* result, MYSQL_ROW* row);
    // Frees the current result; unread rows are skipped within the budget.
    void freeResult();

    MYSQL* handle() const { return m_mysql; }
    const char* error() const { return m_mysql ? mysql_error(m_mysql) : ""; }
    unsigned errorNumber() const { return m_mysql ? mysql_errno(m_mysql) : 0; }

private:
    template <typename Start, typename Cont>
    Status drive(Start start, Cont cont);

    const CTimeWatcher& m_budget;
    ZamStillAliveCallback m_stillAlive;
    void* m_stillAliveContext;
    MYSQL* m_mysql = nullptr;
    MYSQL_RES* m_result = nullptr;
    bool m_broken = false;  // an operation was cut off mid-way
};
