#include "Daemon.h"
#include "CNetworkMonitor.h"
#include "DaemonSignals.h"
#include "LogFile.h"
#include "ServiceThread.h"
#include "Version.h"

#include "common/AgentLinkLog.h"
#include "common/AgentSettings.h"
#include "common/AppPaths.h"
#include "common/Environment.h"
#include "common/ZamCommonSettings.h"

#include <QCoreApplication>
#include <QSslSocket>

#include <openssl/ssl.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

int runDaemon(const CNetworkMonitor::ComponentFactory& factory)
{
    static int argc = 0;
    static char* argv[] = {nullptr};
    // Its event loop is never run.
    QCoreApplication* app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);

    auto* commonSettings = new ZamCommonSettings(configDir() + QStringLiteral("zam.ini"));
    appendToPath(appDir());

    installSignalHandlers();
    startSignalWorker([] { ServiceThread::wake(); });

    lockLogMutex();
    openLogFile(logFilePath());
    unlockLogMutex();
    qInstallMessageHandler(qtMessageHandler);
    // Connection and agent-server lines are category 2: written only while it is switched on.
    setAgentLinkLogSink([](const QString& line) { logIfEnabled(2, line); });

    writeLogLine(QStringLiteral("%2 started (version %1), commit %3").arg(versionText(), productText(), commitId()));

    setSnmpEnvironment();
    for (const QString& key : missingAgentSettings())
        qWarning("setting %s was not found", qPrintable(key));

    OPENSSL_init_ssl(0, nullptr);
    OPENSSL_init_ssl(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);
    // Qt sets up its TLS back end with the first socket; doing it here, once, keeps the link
    // threads that make their first sockets at the same moment from racing through it.
    auto* sslSocket = new QSslSocket();

    auto* service = new ServiceThread();
    service->serve(factory);

    const bool shutdownFailed = CNetworkMonitor::isShutdownFailed();
    stopSignalWorker();
    delete sslSocket;

    writeLogLine(QStringLiteral("%2 stopped (version %1)").arg(versionText(), productText()));
    setAgentLinkLogSink(nullptr);
    qInstallMessageHandler(nullptr);
    lockLogMutex();
    closeLogFile();
    unlockLogMutex();

    if (shutdownFailed) {
        // Components are still running: leave without tearing down what they may use.
        std::fflush(nullptr);
        std::_Exit(2);
    }
    delete service;
    delete commonSettings;
    delete app;
    return 0;
}
