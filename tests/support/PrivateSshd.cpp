#include "PrivateSshd.h"

#include "LoopbackServer.h"
#include "TestServers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool listening(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

bool alive(qint64 pid) { return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM; }

// Session processes descend from the server (each in a session of its own, with a privileged
// monitor and an unprivileged child that both hold the connection).
QList<qint64> descendantsOf(qint64 parent)
{
    QList<qint64> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        // pid (comm) state ppid ...: comm may hold blanks, so read after its last ')'
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toLongLong() == parent)
            children << pid << descendantsOf(pid);
    }
    return children;
}

} // namespace

PrivateSshd::PrivateSshd(const QStringList& extraConfig)
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    m_port = LoopbackServer::closedPort();
    const QString root = testservers::rootDir() + QStringLiteral("/ssh");
    QStringList config = {
        QStringLiteral("Port %1").arg(m_port),
        QStringLiteral("ListenAddress 127.0.0.1"),
        QStringLiteral("HostKey %1/ssh_host_ed25519_key").arg(root),
        QStringLiteral("PidFile %1/sshd.pid").arg(m_dir.path()),
        QStringLiteral("AuthorizedKeysFile %1/authorized_keys/%u").arg(root),
        QStringLiteral("UsePAM no"),
        QStringLiteral("StrictModes no"),
        QStringLiteral("LogLevel VERBOSE"),
    };
    config << extraConfig;
    QFile file(m_dir.filePath(QStringLiteral("sshd_config")));
    if (!file.open(QIODevice::WriteOnly) || file.write((config.join('\n') + '\n').toUtf8()) < 0) {
        m_error = QStringLiteral("cannot write the configuration");
        return;
    }
    file.close();
    start();
}

PrivateSshd::~PrivateSshd() { stop(); }

bool PrivateSshd::start()
{
    // sshd re-executes itself and insists on an absolute path
    qint64 pid = 0;
    if (!QProcess::startDetached(QStringLiteral("/usr/sbin/sshd"),
                                 {QStringLiteral("-D"), QStringLiteral("-f"), m_dir.filePath(QStringLiteral("sshd_config")),
                                  QStringLiteral("-E"), m_dir.filePath(QStringLiteral("sshd.log"))},
                                 QString(), &pid)) {
        m_error = QStringLiteral("cannot start /usr/sbin/sshd");
        return false;
    }
    m_pid = pid;
    QElapsedTimer clock;
    clock.start();
    while (!probe()) {
        if (!alive(m_pid) || clock.elapsed() > 10000) {
            QFile log(m_dir.filePath(QStringLiteral("sshd.log")));
            log.open(QIODevice::ReadOnly);
            m_error = QStringLiteral("sshd did not listen: ") + QString::fromUtf8(log.readAll().right(500));
            stop();
            return false;
        }
        QThread::msleep(10);
    }
    // the probes' connections are logged before anything the test does
    while (connectionCount() < m_probes && clock.elapsed() < 10000)
        QThread::msleep(10);
    m_error.clear();
    return true;
}

bool PrivateSshd::probe()
{
    if (!listening(m_port))
        return false;
    ++m_probes;
    return true;
}

void PrivateSshd::stop()
{
    if (m_pid <= 0)
        return;
    const QList<qint64> sessions = descendantsOf(m_pid);
    ::kill(static_cast<pid_t>(m_pid), SIGTERM);
    for (qint64 child : sessions)
        ::kill(static_cast<pid_t>(child), SIGTERM);
    QElapsedTimer clock;
    clock.start();
    while (alive(m_pid) && clock.elapsed() < 5000)
        QThread::msleep(10);
    if (alive(m_pid))
        ::kill(static_cast<pid_t>(m_pid), SIGKILL);
    m_pid = 0;
}

bool PrivateSshd::restart()
{
    stop();
    // the port is free again once nothing listens on it
    QElapsedTimer clock;
    clock.start();
    while (probe() && clock.elapsed() < 5000)
        QThread::msleep(10);
    return start();
}

int PrivateSshd::connectionCount() const
{
    QFile log(m_dir.filePath(QStringLiteral("sshd.log")));
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    return log.readAll().count("Connection from ");
}
