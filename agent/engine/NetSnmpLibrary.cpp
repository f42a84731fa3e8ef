#include "NetSnmpLibrary.h"

#include "CPluginManager.h"
#include "common/RateLimitedLog.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <QDebug>
#include <QElapsedTimer>
#include <QString>

#include <atomic>
#include <mutex>

namespace {

const unsigned char kEngineId[] = {0x1A, 0x3F, 0x90, 0x57, 0x2B, 0xB6, 0x85, 0xAA};
constexpr qint64 kLibraryLogIntervalMs = 1000;

std::once_flag g_once;
std::atomic<bool> g_initialized{false};

// Any host can make the library complain (bad datagrams, failed authentication): one line
// a second at most, with the count of what the pause left out.
int logLibraryMessage(int, int, void* serverArg, void*)
{
    static std::mutex mutex;
    static RateLimitedLog limit(kLibraryLogIntervalMs);
    static QElapsedTimer clock;
    const auto* message = static_cast<const snmp_log_message*>(serverArg);
    if (!message || !message->msg)
        return 0;
    quint64 count = 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!clock.isValid())
            clock.start();
        if (!limit.note(clock.elapsed(), count))
            return 0;
    }
    const QString text = QString::fromLocal8Bit(message->msg).trimmed();
    if (count > 1)
        qWarning().noquote() << QStringLiteral("Net-SNMP: %1 (%2 messages since the last one logged)").arg(text).arg(count);
    else
        qWarning().noquote() << QStringLiteral("Net-SNMP: %1").arg(text);
    return 0;
}

void initLibrary()
{
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    snmp_disable_stderrlog();
    snmp_register_callback(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_LOGGING, logLibraryMessage, nullptr);
    snmp_enable_calllog();
    snmp_set_save_descriptions(1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_QUICK_PRINT, 1);  // for every later conversion
    snmp_out_toggle_options(const_cast<char*>("n"));
    pthread_mutex_lock(CPluginManager::snmpSharedMutex());
    // The one local engine ID of the process: set before init_snmp so the library keeps it,
    // and registered with its own time so informs to it need no time-window reports.
    set_exact_engineID(kEngineId, sizeof kEngineId);
    init_snmp("corvanemonitor");
    set_enginetime(kEngineId, sizeof kEngineId, snmpv3_local_snmpEngineBoots(), snmpv3_local_snmpEngineTime(), TRUE);
    pthread_mutex_unlock(CPluginManager::snmpSharedMutex());
    g_initialized.store(true);
}

} // namespace

namespace NetSnmpLibrary {

void initOnce()
{
    std::call_once(g_once, initLibrary);
}

bool isInitialized()
{
    return g_initialized.load();
}

QByteArray localEngineId()
{
    return QByteArray(reinterpret_cast<const char*>(kEngineId), sizeof kEngineId);
}

} // namespace NetSnmpLibrary
