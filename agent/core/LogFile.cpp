#include "LogFile.h"
#include "ProcessOptions.h"

#include "common/AppPaths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Everything below is guarded by g_logMutex, except g_suspended, which only the signal
// worker touches, and the once-only stderr notes.
QMutex g_logMutex;
int g_fd = -1;
bool g_reopen = false;
QString g_openedPath;   // the path the log was last opened on; a resumed log reopens it
std::atomic<bool> g_suspended{false};
std::atomic<bool> g_openProblemReported{false};

void writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
}

void reportOpenProblemOnce(const QString& text)
{
    if (g_openProblemReported.exchange(true))
        return;
    const QByteArray line = text.toLocal8Bit() + '\n';
    writeAll(STDERR_FILENO, line.constData(), static_cast<size_t>(line.size()));
}

}

QString logThreadId()
{
    thread_local const QString id =
        QStringLiteral("%1").arg(static_cast<qulonglong>(::syscall(SYS_gettid)), 4, 16, QLatin1Char('0'));
    return id;
}

QString formatLogLine(const QString& text)
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))
        + QStringLiteral(": [") + logThreadId() + QStringLiteral("] ") + text + QLatin1Char('\n');
}

QString logFilePath()
{
    static const QString path = logDir() + QStringLiteral("/agent.log");
    return path;
}

void lockLogMutex()
{
    g_logMutex.lock();
}

void unlockLogMutex()
{
    g_logMutex.unlock();
}

bool isLogFileOpen()
{
    return g_fd >= 0;
}

void openLogFile(const QString& path)
{
    if (path.isEmpty())
        return;
    if (g_fd >= 0)
        closeLogFile();
    g_openedPath = path;
    const QByteArray name = QFile::encodeName(path);
    int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const QString folder = QFileInfo(path).absolutePath();
    if (fd < 0 && !QFileInfo(folder).isDir()) {
        if (!QDir().mkpath(folder)) {
            reportOpenProblemOnce(QStringLiteral("cannot create log folder %1: %2")
                                      .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
            return;
        }
        fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    }
    if (fd < 0) {
        reportOpenProblemOnce(QStringLiteral("cannot open log file %1: %2")
                                  .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        return;
    }
    g_fd = fd;
    // Every run (and every reopened file) starts after one empty line.
    struct stat st;
    if (::fstat(fd, &st) == 0 && st.st_size > 0)
        writeAll(fd, "\n", 1);
}

void closeLogFile()
{
    g_reopen = false;
    if (g_fd < 0)
        return;
    ::close(g_fd);
    g_fd = -1;
}

void writeLogLine(const QString& text, bool last)
{
    const QByteArray line = formatLogLine(text).toLocal8Bit();
    g_logMutex.lock();
    if (logToStderr.load(std::memory_order_relaxed))
        writeAll(STDERR_FILENO, line.constData(), static_cast<size_t>(line.size()));
    if (g_reopen) {
        openLogFile(g_openedPath.isEmpty() ? logFilePath() : g_openedPath);
        g_reopen = false;
    }
    if (g_fd >= 0)
        writeAll(g_fd, line.constData(), static_cast<size_t>(line.size()));
    if (last) {
        qInstallMessageHandler(nullptr);
        closeLogFile();
    }
    g_logMutex.unlock();
    if (last)
        std::abort();
}

void qtMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const char* prefix = "";
    switch (type) {
    case QtDebugMsg: prefix = "debug: "; break;
    case QtWarningMsg: prefix = "warning: "; break;
    case QtCriticalMsg: prefix = "critical: "; break;
    case QtFatalMsg: prefix = "fatal: "; break;
    case QtInfoMsg: break;
    }
    const QString text = QString::fromLatin1(prefix) + message
        + QStringLiteral(" (%1:%2, %3)")
              .arg(QString::fromLatin1(context.file), QString::number(context.line),
                   QString::fromLatin1(context.function));
    writeLogLine(text, type == QtFatalMsg);
}

void suspendLogFile()
{
    if (g_suspended.load())
        return;
    g_suspended = true;
    g_logMutex.lock();
    closeLogFile();
}

void resumeLogFile()
{
    if (!g_suspended.load())
        return;
    g_suspended = false;
    g_reopen = true;
    g_logMutex.unlock();
}

bool isLogFileSuspended()
{
    return g_suspended.load();
}

void logIfEnabled(int category, const QString& text)
{
    const QMap<int, int>& categories = logCategories();
    if (categories.value(category, 0) != 0)
        writeLogLine(text, false);
}

void logWarning(const QString& text)
{
    qWarning("%s", text.toUtf8().constData());
}
