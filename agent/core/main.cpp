#include "CommandLine.h"
#include "Daemon.h"
#include "FreeHeapRelease.h"
#include "ProcessOptions.h"

#include "common/AgentSettings.h"
#include "common/ConnectionId.h"

#include <QMutex>
#include <QMutexLocker>
#include <QWaitCondition>

#include <cstdio>
#include <string>
#include <vector>

namespace {

int printUsage(const char* programName)
{
    const std::string text = usageText(programName ? programName : "");
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
    return 1;
}

void delayStartup(int ms)
{
    if (ms <= 0)
        return;
    qWarning("delaying startup for %d msec", ms);
    QMutex mutex;
    QWaitCondition cond;
    QMutexLocker locker(&mutex);
    cond.wait(&mutex, static_cast<unsigned long>(ms));
}

int printConnectionId(const QString& certificatePath)
{
    QString text;
    const bool ok = certificatePath.isEmpty() ? computeConnectionId(*openAgentSettings(), text)
                                              : connectionIdFromCertificate(certificatePath, text);
    const QByteArray line = text.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), ok ? stdout : stderr);
    std::fflush(ok ? stdout : stderr);
    return ok ? 0 : 1;
}

}

int main(int argc, char** argv)
{
    // One arena per core: at two, minutes of a hundred polls in flight kept more freed memory
    // the longer it ran; one costs under a tenth of the rate of short polls at 64 in flight.
    heap::limitArenas(1);
    logCategories().insert(2, 1);
    if (argc < 2)
        return printUsage(argv[0]);

    const SCommandLine cl = parseCommandLine(std::vector<std::string>(argv, argv + argc));
    if (cl.mode == SCommandLine::RunWithStderr || cl.mode == SCommandLine::RunWithoutStderr)
        heap::limitThreadCaches(argv);
    for (int ms : cl.delaysMs)
        delayStartup(ms);
    if (cl.hasStress)
        scheduleDebugFlags = cl.stressFlags;
    for (const auto& entry : cl.values)
        logCategories()[entry.first] = entry.second;

    switch (cl.mode) {
    case SCommandLine::RunWithStderr:
        return runDaemon();
    case SCommandLine::RunWithoutStderr:
        logToStderr = false;
        return runDaemon();
    case SCommandLine::ConnectionId:
        return printConnectionId(cl.certificatePath);
    case SCommandLine::NoMode:
        break;
    }
    return printUsage(argv[0]);
}
