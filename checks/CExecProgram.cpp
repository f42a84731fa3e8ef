#include "CExecProgram.h"

#include "SigpipeGuard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegExp>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

int openPidFd(pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

void closeFd(int& fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

void setNonBlocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

// argv/envp storage for posix_spawn: the byte strings live as long as the vector.
struct CStrings {
    std::vector<QByteArray> storage;
    std::vector<char*> pointers;
    void add(const QByteArray& text) { storage.push_back(text); }
    char** finish()
    {
        pointers.clear();
        for (QByteArray& s : storage)
            pointers.push_back(s.data());
        pointers.push_back(nullptr);
        return pointers.data();
    }
};

} // namespace

CExecProgram::CExecProgram(ZamStillAliveCallback stillAlive, void* context, bool)
    : m_stillAlive(stillAlive), m_stillAliveContext(context), m_errorText(4096, '\0')
{
}

CExecProgram::~CExecProgram()
{
    cleanup();
}

void CExecProgram::setLogin(const QString& user, const QString& password)
{
    m_loginUser = user;
    m_loginPassword = password;
}

void CExecProgram::setProcessEnvironment(const QProcessEnvironment& environment)
{
    m_environment = environment;
    m_environmentSet = true;
}

int CExecProgram::stillAlive() const
{
    return m_stillAlive ? m_stillAlive(m_stillAliveContext) : 0;
}

void CExecProgram::setError(const char* fmt, ...)
{
    if (m_errorText.size() < 4096)
        m_errorText.resize(4096);
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(m_errorText.data(), static_cast<size_t>(m_errorText.size()), fmt, args);
    va_end(args);
}

QString CExecProgram::shellQuote(const QString& word)
{
    QString out;
    out.reserve(word.size() + 2);
    out += QLatin1Char('\'');
    for (const QChar c : word) {
        if (c == QLatin1Char('\''))
            out += QLatin1String("'\\''");
        else
            out += c;
    }
    out += QLatin1Char('\'');
    return out;
}

QStringList CExecProgram::create_args(const QStringList& arguments)
{
    QStringList out;
    out.reserve(arguments.size());
    for (const QString& a : arguments)
        out << shellQuote(a);
    return out;
}

QString CExecProgram::userCommand(const QString& program, const QStringList& arguments, const QString& folder) const
{
    // su -l starts from a clean login environment and the user's home folder; put back the
    // folder and the variables the caller added, so the child sees what a direct start sees.
    QStringList words;
    if (!folder.isEmpty())
        words << QStringLiteral("cd") << shellQuote(folder) << QStringLiteral("2>/dev/null;");
    if (m_environmentSet) {
        const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
        QStringList assignments;
        for (const QString& name : m_environment.keys()) {
            const QString value = m_environment.value(name);
            if (name.isEmpty() || name.contains(QLatin1Char('=')))
                continue;
            if (!system.contains(name) || system.value(name) != value)
                assignments << shellQuote(name + QLatin1Char('=') + value);
        }
        if (!assignments.isEmpty())
            words << QStringLiteral("env") << assignments;
    }
    words << shellQuote(program) << create_args(arguments);
    return words.join(QLatin1Char(' '));
}

bool CExecProgram::startChild(const QString& folder)
{
    int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        const int e = errno;
        for (int* p : {in, out, err}) {
            closeFd(p[0]);
            closeFd(p[1]);
        }
        setError("Failed to start the program or script: %s", std::strerror(e));
        return false;
    }

    CStrings argv;
    argv.add(QFile::encodeName(m_startedProgram));
    for (const QString& a : m_startedArguments)
        argv.add(a.toLocal8Bit());
    CStrings envp;
    char** env = environ;
    if (m_environmentSet) {
        for (const QString& entry : m_environment.toStringList())
            envp.add(entry.toLocal8Bit());
        env = envp.finish();
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    const QByteArray folderBytes = QFile::encodeName(folder);
    if (!folderBytes.isEmpty())
        posix_spawn_file_actions_addchdir_np(&actions, folderBytes.constData());
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv.storage.front().constData(), &actions, &attr, argv.finish(), env);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    closeFd(in[0]);
    closeFd(out[1]);
    closeFd(err[1]);
    if (rc != 0) {
        closeFd(in[1]);
        closeFd(out[0]);
        closeFd(err[0]);
        setError("Failed to start the program or script: %s", std::strerror(rc));
        return false;
    }
    m_pid = pid;
    m_pidFd = openPidFd(pid);
    m_inFd = in[1];
    m_outFd = out[0];
    m_errFd = err[0];
    setNonBlocking(m_inFd);
    setNonBlocking(m_outFd);
    setNonBlocking(m_errFd);
    return true;
}

bool CExecProgram::exec(const QString& program, const QStringList& arguments, int timeoutMs,
                        const QString& workingFolder)
{
    m_userMode = !m_loginUser.isEmpty();
    QStringList args = arguments;
    if (!m_nativeArguments.isEmpty())
        args += QProcess::splitCommand(m_nativeArguments);

    QString folder = workingFolder;
    if (folder.isEmpty())
        folder = QFileInfo(program).absolutePath().replace(QLatin1Char('\\'), QLatin1Char('/'));

    if (m_userMode) {
        m_startedProgram = QString::fromLatin1(kSuPath);
        m_startedArguments = QStringList{QStringLiteral("-s"), QStringLiteral("/bin/bash"), QStringLiteral("-l"),
                                         QStringLiteral("-c"), userCommand(program, args, folder), m_loginUser};
    } else {
        m_startedProgram = program;
        m_startedArguments = args;
    }

    m_retCode = -1;
    m_startFailed = false;
    m_stdOut.clear();
    m_stdErr.clear();
    m_outTruncated = m_errTruncated = false;
    m_timer.start();

    if (program.isEmpty()) {
        setError("Failed to start the program or script: %s", "No program was given");
        m_startFailed = true;
        return false;
    }
    if (!startChild(folder)) {
        m_startFailed = true;
        cleanup();
        return false;
    }
    m_status = StatusStarted;

    // su started by root asks for no password: writing it would hand it to the child.
    m_pendingIn.clear();
    if (m_userMode && geteuid() != 0)
        m_pendingIn = m_loginPassword.toUtf8() + '\n';
    m_pendingIn += m_stdInData;
    m_pendingInPos = 0;
    writeStdIn();

    const bool failed = waitAndReadOutput(timeoutMs);
    m_performance = static_cast<int>(m_timer.elapsed());
    if (!failed)
        m_retCode = WIFEXITED(m_waitStatus) ? WEXITSTATUS(m_waitStatus) : -1;
    cleanup();
    return !failed;
}

void CExecProgram::writeStdIn()
{
    if (m_inFd < 0)
        return;
    SigpipeGuard noSigpipe;
    while (m_pendingInPos < m_pendingIn.size()) {
        const ssize_t n = ::write(m_inFd, m_pendingIn.constData() + m_pendingInPos,
                                  static_cast<size_t>(m_pendingIn.size() - m_pendingInPos));
        if (n > 0) {
            m_pendingInPos += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return;  // the rest goes when the pipe has room
        break;       // the child closed its input: drop the rest
    }
    closeFd(m_inFd);
}

void CExecProgram::readPipe(int& fd, QByteArray& into, bool& truncated)
{
    if (fd < 0)
        return;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            const int room = kMaxOutputBytes - into.size();
            if (room > 0)
                into.append(buffer, static_cast<int>(std::min<ssize_t>(n, room)));
            if (n > room)
                truncated = true;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return;
        closeFd(fd);  // end of data or a failing pipe
        return;
    }
}

bool CExecProgram::pump(int waitMs)
{
    QElapsedTimer step;
    step.start();
    for (;;) {
        if (m_pid > 0) {
            int st = 0;
            const pid_t r = ::waitpid(m_pid, &st, WNOHANG);
            if (r == m_pid) {
                m_waitStatus = st;
                m_pid = -1;
                return true;
            }
            if (r < 0 && errno == ECHILD) {
                // reaped elsewhere (SIGCHLD ignored): it ended, its exit code is unknown
                m_waitStatus = 0x7f;
                m_pid = -1;
                return true;
            }
        }
        const int left = waitMs - static_cast<int>(step.elapsed());
        if (left <= 0)
            return false;
        pollfd fds[4];
        int n = 0;
        if (m_pidFd >= 0)
            fds[n++] = {m_pidFd, POLLIN, 0};
        if (m_outFd >= 0)
            fds[n++] = {m_outFd, POLLIN, 0};
        if (m_errFd >= 0)
            fds[n++] = {m_errFd, POLLIN, 0};
        if (m_inFd >= 0)
            fds[n++] = {m_inFd, POLLOUT, 0};
        // without a process descriptor, look at the child at least every 10 ms
        const int wait = m_pidFd >= 0 ? left : std::min(left, 10);
        const int ready = ::poll(fds, static_cast<nfds_t>(n), wait);
        if (ready < 0 && errno != EINTR)
            return false;
        readPipe(m_outFd, m_stdOut, m_outTruncated);
        readPipe(m_errFd, m_stdErr, m_errTruncated);
        writeStdIn();
    }
}

void CExecProgram::drainOutput()
{
    // what the child left in the pipes; a descendant that keeps writing is not waited for
    readPipe(m_outFd, m_stdOut, m_outTruncated);
    readPipe(m_errFd, m_stdErr, m_errTruncated);
}

bool CExecProgram::waitAndReadOutput(int timeoutMs)
{
    int waited = 0;
    for (;;) {
        if (m_pid <= 0)
            return true;
        if (pump(1000)) {
            drainOutput();
            if (WIFSIGNALED(m_waitStatus)) {
                setError("Process crashed with error %d", static_cast<int>(QProcess::Crashed));
                m_status = StatusCrashed;
                return true;
            }
            m_status = StatusFinished;
            if (m_userMode && m_stdErr.startsWith("Password:"))
                m_stdErr.remove(0, 10);
            return false;
        }
        waited += 1000;
        if (waited >= timeoutMs || stillAlive() != 0) {
            const QByteArray text = QStringLiteral("Program has not been finished within %1 seconds.")
                                        .arg(timeoutMs / 1000)
                                        .toLocal8Bit();
            setError("%s", text.constData());
            m_status = StatusTimedOut;
            return true;
        }
    }
}

void CExecProgram::cleanup()
{
    closeFd(m_inFd);
    closeFd(m_outFd);
    closeFd(m_errFd);
    if (m_pid > 0) {
        ::kill(-m_pid, SIGKILL);
        ::kill(m_pid, SIGKILL);
        int st = 0;
        while (::waitpid(m_pid, &st, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }
    closeFd(m_pidFd);
}

int64_t CExecProgram::getPerfValue(int mode, double divisor, QString* text) const
{
    return getPerfValue_utf8(m_stdOut, mode, divisor, text);
}

int64_t CExecProgram::getPerfValue_utf16(int mode, double divisor, QString* text) const
{
    const QString output = QString::fromUtf16(reinterpret_cast<const char16_t*>(m_stdOut.constData()),
                                              m_stdOut.size() / 2);
    return doGetPerfValue(output, mode, divisor, text);
}

int64_t CExecProgram::getPerfValue_utf8(const QByteArray& bytes, int mode, double divisor, QString* text)
{
    return doGetPerfValue(QString::fromUtf8(bytes), mode, divisor, text);
}

int64_t CExecProgram::doGetPerfValue(const QString& output, int mode, double divisor, QString* text)
{
    if (output.isEmpty())
        return 0;
    QRegExp pattern;
    int from = 0;
    if (mode == ModeNagios) {
        pattern = QRegExp(QStringLiteral("([+-]?\\d*\\.?\\d+)"), Qt::CaseSensitive, QRegExp::RegExp);
        if (output.contains(QLatin1Char('|'))) {
            const int eq = output.indexOf(QLatin1Char('='));
            from = eq < 0 ? 0 : eq;
        }
    } else {
        pattern = QRegExp(QStringLiteral("(?:^|[^\\w.+-])([+-]?\\d*\\.?\\d+)([^\\r\\n\\f\\v]*)"), Qt::CaseSensitive,
                          QRegExp::RegExp);
    }
    const bool found = pattern.indexIn(output, from) >= 0;
    if (text && pattern.captureCount() > 1)
        *text = found ? pattern.cap(2).trimmed() : QString();
    if (!found)
        return 0;
    bool ok = false;
    const double value = pattern.cap(1).toDouble(&ok);
    if (!ok || divisor == 0.0)
        return 0;
    const double scaled = std::trunc(value / divisor);
    // a value outside the 64-bit range has no meaning as a measurement
    if (!std::isfinite(scaled) || scaled >= 9.2233720368547758e18 || scaled <= -9.2233720368547758e18)
        return 0;
    return static_cast<int64_t>(scaled);
}
