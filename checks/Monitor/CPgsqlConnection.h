#pragma once
// One libpq connection of one poll, driven through libpq's asynchronous calls so that the
// connect and the statement are bounded by the poll's budget and by the host's stop request;
// rows come one at a time (single-row mode), so a large result never sits in memory whole.
// The connection is finished by the destructor. Owned by one poll on one task thread; no locks.

#include "CTimeWatcher.h"
#include "zam_plugin_api.h"

#include <libpq-fe.h>

#include <string>
#include <vector>

class CPgsqlConnection
{
public:
    enum Status { Ok, Failed, TimedOut, Aborted };

    // What the statement text came to, as PQexec would tell it: the last statement decides.
    struct Outcome {
        ExecStatusType status = PGRES_EMPTY_QUERY;
        std::string error;       // the server's text for a failed statement
        std::string sqlState;    // its SQLSTATE
        bool hasRow = false;     // the deciding statement returned at least one row
        int columns = 0;         // columns of that row
        bool firstIsNull = false;
        std::string firstValue;  // first column of the first row
    };

    CPgsqlConnection(const CTimeWatcher& budget, ZamStillAliveCallback stillAlive, void* stillAliveContext);
    ~CPgsqlConnection();
    CPgsqlConnection(const CPgsqlConnection&) = delete;
    CPgsqlConnection& operator=(const CPgsqlConnection&) = delete;

    // Keywords and values in libpq's connection-parameter form.
    Status connect(const std::vector<const char*>& keywords, const std::vector<const char*>& values);
    Status execute(const std::string& sql, Outcome* outcome);
    // libpq's text for the connection, without its trailing line break.
    std::string error() const;

private:
    Status waitSocket(bool forRead, bool forWrite);

    const CTimeWatcher& m_budget;
    ZamStillAliveCallback m_stillAlive;
    void* m_stillAliveContext;
    PGconn* m_conn = nullptr;
};
