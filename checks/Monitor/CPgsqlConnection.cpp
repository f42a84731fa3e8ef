#include "CPgsqlConnection.h"

#include "SocketDeadlineWait.h"

#include <poll.h>

namespace {

std::string trimmedEnd(const char* text)
{
    std::string s = text ? text : "";
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' '))
        s.pop_back();
    return s;
}

}  // namespace

CPgsqlConnection::CPgsqlConnection(const CTimeWatcher& budget, ZamStillAliveCallback stillAlive, void* stillAliveContext)
    : m_budget(budget), m_stillAlive(stillAlive), m_stillAliveContext(stillAliveContext)
{
}

CPgsqlConnection::~CPgsqlConnection()
{
    if (m_conn)
        PQfinish(m_conn);
}

std::string CPgsqlConnection::error() const
{
    return trimmedEnd(m_conn ? PQerrorMessage(m_conn) : "out of memory");
}

CPgsqlConnection::Status CPgsqlConnection::waitSocket(bool forRead, bool forWrite)
{
    const short events = static_cast<short>((forRead ? POLLIN : 0) | (forWrite ? POLLOUT : 0));
    const SocketWaitResult w = waitSocketWithin(PQsocket(m_conn), events, -1, m_budget, m_stillAlive, m_stillAliveContext);
    switch (w.kind) {
    case SocketWaitResult::Ready:
        return Ok;
    case SocketWaitResult::Expired:
    case SocketWaitResult::LimitReached:
        return TimedOut;
    case SocketWaitResult::Aborted:
        return Aborted;
    case SocketWaitResult::Failed:
        break;
    }
    return Failed;
}

CPgsqlConnection::Status CPgsqlConnection::connect(const std::vector<const char*>& keywords,
                                                   const std::vector<const char*>& values)
{
    std::vector<const char*> k(keywords), v(values);
    k.push_back(nullptr);
    v.push_back(nullptr);
    m_conn = PQconnectStartParams(k.data(), v.data(), 0);
    if (!m_conn || PQstatus(m_conn) == CONNECTION_BAD)
        return Failed;
    // as libpq asks: behave as if the last answer had been "writing"
    PostgresPollingStatusType poll = PGRES_POLLING_WRITING;
    for (;;) {
        if (poll == PGRES_POLLING_OK)
            return Ok;
        if (poll == PGRES_POLLING_FAILED)
            return Failed;
        const Status w = waitSocket(poll == PGRES_POLLING_READING, poll == PGRES_POLLING_WRITING);
        if (w != Ok)
            return w;
        poll = PQconnectPoll(m_conn);
    }
}

CPgsqlConnection::Status CPgsqlConnection::execute(const std::string& sql, Outcome* outcome)
{
    if (PQsetnonblocking(m_conn, 1) != 0 || !PQsendQuery(m_conn, sql.c_str()))
        return Failed;
    PQsetSingleRowMode(m_conn);
    for (;;) {
        const int flushed = PQflush(m_conn);
        if (flushed < 0)
            return Failed;
        if (flushed == 0)
            break;
        const Status w = waitSocket(true, true);
        if (w != Ok)
            return w;
        if (!PQconsumeInput(m_conn))
            return Failed;
    }
    // One outcome per statement of the text; the rows after a statement's first are dropped
    // as they come.
    Outcome current;
    bool statementHasRow = false;
    for (;;) {
        while (PQisBusy(m_conn)) {
            const Status w = waitSocket(true, false);
            if (w != Ok)
                return w;
            if (!PQconsumeInput(m_conn))
                return Failed;
        }
        PGresult* res = PQgetResult(m_conn);
        if (!res)
            break;
        const ExecStatusType status = PQresultStatus(res);
        if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT || status == PGRES_COPY_BOTH) {
            // a COPY would wait for data of its own; the connection is dropped instead
            PQclear(res);
            *outcome = Outcome();
            outcome->status = status;
            outcome->error = "COPY is not supported";
            return Ok;
        }
        if (status == PGRES_SINGLE_TUPLE || status == PGRES_TUPLES_OK) {
            if (!statementHasRow) {
                current = Outcome();
                current.columns = PQnfields(res);
                // single-row mode covers the text's first statement; later ones may come whole
                if (PQntuples(res) > 0) {
                    statementHasRow = true;
                    current.hasRow = true;
                    if (current.columns > 0) {
                        current.firstIsNull = PQgetisnull(res, 0, 0) != 0;
                        current.firstValue.assign(PQgetvalue(res, 0, 0), static_cast<size_t>(PQgetlength(res, 0, 0)));
                    }
                }
            }
        }
        if (status != PGRES_SINGLE_TUPLE) {
            if (status != PGRES_TUPLES_OK) {
                current = Outcome();
                current.error = trimmedEnd(PQresultErrorMessage(res));
                const char* state = PQresultErrorField(res, PG_DIAG_SQLSTATE);
                current.sqlState = state ? state : "";
            }
            current.status = status;
            *outcome = current;
            statementHasRow = false;
        }
        PQclear(res);
    }
    return Ok;
}
