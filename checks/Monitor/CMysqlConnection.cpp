#include "CMysqlConnection.h"

#include "SocketDeadlineWait.h"

#include <poll.h>

namespace {

// The client's own waits in whole seconds, rounded up from what is left of the budget. The
// waits driven from here end at the budget itself; the TLS handshake, which the client library
// runs blocking, ends within the rounding.
unsigned int clientSeconds(const CTimeWatcher& budget)
{
    const uint32_t left = budget.remainingTimeMillisec();
    if (left == 0xFFFFFFFFu)
        return 0;
    return static_cast<unsigned int>((static_cast<uint64_t>(left) + 999) / 1000);
}

}  // namespace

CMysqlConnection::CMysqlConnection(const CTimeWatcher& budget, ZamStillAliveCallback stillAlive, void* stillAliveContext)
    : m_budget(budget), m_stillAlive(stillAlive), m_stillAliveContext(stillAliveContext)
{
}

CMysqlConnection::~CMysqlConnection()
{
    if (!m_mysql)
        return;
    freeResult();
    // after a cut-off operation the socket is shut down first, so the goodbye fails at once
    // instead of waiting on the peer
    if (m_broken)
        mariadb_cancel(m_mysql);
    mysql_close(m_mysql);
}

bool CMysqlConnection::init()
{
    m_mysql = mysql_init(nullptr);
    if (!m_mysql)
        return false;
    mysql_options(m_mysql, MYSQL_OPT_NONBLOCK, nullptr);
    const unsigned int seconds = clientSeconds(m_budget);
    if (seconds > 0) {
        mysql_options(m_mysql, MYSQL_OPT_CONNECT_TIMEOUT, &seconds);
        mysql_options(m_mysql, MYSQL_OPT_READ_TIMEOUT, &seconds);
        mysql_options(m_mysql, MYSQL_OPT_WRITE_TIMEOUT, &seconds);
    }
    return true;
}

void CMysqlConnection::requireTls(const std::string& caFile, const std::string& caFolder)
{
    const char* file = caFile.empty() ? nullptr : caFile.c_str();
    const char* folder = caFolder.empty() ? nullptr : caFolder.c_str();
    mysql_ssl_set(m_mysql, nullptr, nullptr, file, folder, nullptr);
    const my_bool on = 1;
    mysql_options(m_mysql, MYSQL_OPT_SSL_ENFORCE, &on);
    // a trusted CA the user named is only worth something when the server is checked against it
    if (file || folder)
        mysql_options(m_mysql, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &on);
}

template <typename Start, typename Cont>
CMysqlConnection::Status CMysqlConnection::drive(Start start, Cont cont)
{
    if (m_broken)
        return Failed;
    int status = start();
    while (status != 0) {
        short events = 0;
        if (status & MYSQL_WAIT_READ)
            events |= POLLIN;
        if (status & MYSQL_WAIT_WRITE)
            events |= POLLOUT;
        if (status & MYSQL_WAIT_EXCEPT)
            events |= POLLPRI;
        const int limit = (status & MYSQL_WAIT_TIMEOUT) ? static_cast<int>(mysql_get_timeout_value_ms(m_mysql)) : -1;
        const SocketWaitResult w =
            waitSocketWithin(static_cast<int>(mysql_get_socket(m_mysql)), events, limit, m_budget, m_stillAlive,
                             m_stillAliveContext);
        int happened = 0;
        switch (w.kind) {
        case SocketWaitResult::Ready:
            if (w.revents & (POLLIN | POLLHUP | POLLERR))
                happened |= MYSQL_WAIT_READ;
            if (w.revents & (POLLOUT | POLLHUP | POLLERR))
                happened |= MYSQL_WAIT_WRITE;
            if (w.revents & POLLPRI)
                happened |= MYSQL_WAIT_EXCEPT;
            happened &= status;
            if (happened == 0)
                happened = status & (MYSQL_WAIT_READ | MYSQL_WAIT_WRITE);
            break;
        case SocketWaitResult::LimitReached:
            happened = MYSQL_WAIT_TIMEOUT;
            break;
        case SocketWaitResult::Expired:
            m_broken = true;
            return TimedOut;
        case SocketWaitResult::Aborted:
            m_broken = true;
            return Aborted;
        case SocketWaitResult::Failed:
            m_broken = true;
            return Failed;
        }
        status = cont(happened);
    }
    return Ok;
}

CMysqlConnection::Status CMysqlConnection::connect(const char* host, const char* user, const char* password,
                                                   const char* database, unsigned port, unsigned long clientFlags)
{
    MYSQL* connected = nullptr;
    const Status s = drive(
        [&] {
            return mysql_real_connect_start(&connected, m_mysql, host, user, password, database, port, nullptr,
                                            clientFlags);
        },
        [&](int events) { return mysql_real_connect_cont(&connected, m_mysql, events); });
    if (s != Ok)
        return s;
    return connected ? Ok : Failed;
}

const char* CMysqlConnection::cipher() const
{
    return m_mysql ? mysql_get_ssl_cipher(m_mysql) : nullptr;
}

CMysqlConnection::Status CMysqlConnection::query(const std::string& sql)
{
    int rc = 0;
    const Status s = drive([&] { return mysql_real_query_start(&rc, m_mysql, sql.data(), sql.size()); },
                           [&](int events) { return mysql_real_query_cont(&rc, m_mysql, events); });
    if (s != Ok)
        return s;
    return rc == 0 ? Ok : Failed;
}

CMysqlConnection::Status CMysqlConnection::useResult(MYSQL_RES** result)
{
    freeResult();
    // mysql_use_result only reads the column descriptions, which came with the query's answer
    m_result = mysql_use_result(m_mysql);
    *result = m_result;
    return Ok;
}

CMysqlConnection::Status CMysqlConnection::nextResult(int* more)
{
    freeResult();
    int rc = -1;
    const Status s = drive([&] { return mysql_next_result_start(&rc, m_mysql); },
                           [&](int events) { return mysql_next_result_cont(&rc, m_mysql, events); });
    *more = rc;
    return s;
}

CMysqlConnection::Status CMysqlConnection::fetchRow(MYSQL_RES* result, MYSQL_ROW* row)
{
    *row = nullptr;
    MYSQL_ROW got = nullptr;
    const Status s = drive([&] { return mysql_fetch_row_start(&got, result); },
                           [&](int events) { return mysql_fetch_row_cont(&got, result, events); });
    *row = got;
    return s;
}

void CMysqlConnection::freeResult()
{
    if (!m_result)
        return;
    MYSQL_RES* result = m_result;
    m_result = nullptr;
    if (!m_broken) {
        const Status s = drive([&] { return mysql_free_result_start(result); },
                               [&](int events) { return mysql_free_result_cont(result, events); });
        if (s == Ok)
            return;
    }
    // the connection is unusable: free the memory without skipping the unread rows
    result->handle = nullptr;
    mysql_free_result(result);
}
