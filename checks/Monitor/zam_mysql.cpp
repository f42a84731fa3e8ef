#include "zam_monitor_functions.h"

#include "zam_core_context.h"

#include <mysql.h>

#include <mutex>

// The client library starts once per process and once per polling thread; its process-wide start
// is not thread-safe, so it runs under a lock.
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
