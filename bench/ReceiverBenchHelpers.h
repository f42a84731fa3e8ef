#pragma once
// What the receiver benchmarks share: a free loopback UDP port, CPU time of this thread and of
// another process, the kernel's view of a socket, a paced sender in child processes, and the
// waits for a peer's count to settle.

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QList>
#include <QProcess>
#include <QRegExp>
#include <QUdpSocket>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <ctime>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace receiverbench {

inline quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
    return probe.localPort();
}

inline sockaddr_in loopback(quint16 port)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return to;
}

inline double threadCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// This process's threads together (a paced sender runs in a child, whose time does not count).
inline double selfCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

inline double pidCpuSeconds(long pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = f.readAll().split(')').value(1).trimmed().split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / sysconf(_SC_CLK_TCK);
}

// CPU seconds of this process's threads whose name starts with prefix, summed.
inline double threadsCpuSeconds(const QByteArray& prefix)
{
    double total = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(tasks.filePath(tid + QStringLiteral("/stat")));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray stat = f.readAll();
        const int open = stat.indexOf('('), close = stat.lastIndexOf(')');
        if (open < 0 || close < open || !stat.mid(open + 1, close - open - 1).startsWith(prefix))
            continue;
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        total += (fields.value(11).toDouble() + fields.value(12).toDouble()) / sysconf(_SC_CLK_TCK);
    }
    return total;
}

// Waits until the count stops growing for 500 ms (at most 20 s).
template <class Count>
quint64 settle(Count count)
{
    quint64 last = count();
    for (int stable = 0, i = 0; stable < 5 && i < 200; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const quint64 now = count();
        stable = now == last ? stable + 1 : 0;
        last = now;
    }
    return last;
}

// Lines the peer has written so far, read on from where the last count stopped: the file
// grows by millions of lines in a run, and reading it whole ten times a second would load
// the machine the peer runs on.
class LineCounter
{
public:
    explicit LineCounter(const QString& path) : m_file(path) {}
    quint64 count()
    {
        if (!m_file.isOpen() && !m_file.open(QIODevice::ReadOnly))
            return m_lines;
        char buffer[1 << 16];
        qint64 got;
        while ((got = m_file.read(buffer, sizeof buffer)) > 0)
            for (qint64 i = 0; i < got; ++i)
                m_lines += buffer[i] == '\n';
        return m_lines;
    }

private:
    QFile m_file;
    quint64 m_lines = 0;
};

struct SendResult
{
    quint64 sent = 0;
    double achieved = 0;   // datagrams per second the sender reached
};

// The kernel's view of a UDP socket on the port: its receive buffer and the datagrams it
// dropped for want of room (ss, as root sees every process's sockets).
struct SocketStats
{
    long receiveBuffer = -1;
    quint64 drops = 0;
};

inline SocketStats socketStats(quint16 port)
{
    QProcess ss;
    ss.start(QStringLiteral("ss"), {"-H", "-uamn", QStringLiteral("sport = :%1").arg(port)});
    SocketStats stats;
    if (!ss.waitForFinished(5000))
        return stats;
    const QString out = QString::fromLatin1(ss.readAllStandardOutput());
    QRegExp rb(QStringLiteral("rb(\\d+)")), d(QStringLiteral(",d(\\d+)\\)"));
    if (rb.indexIn(out) >= 0)
        stats.receiveBuffer = rb.cap(1).toLong();
    if (d.indexIn(out) >= 0)
        stats.drops = d.cap(1).toULongLong();
    return stats;
}

inline qint64 monotonicNs()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Sends rate datagrams/s for seconds: sleeps until kBurst datagrams are due (with a timer
// slack of 1 us, so it wakes on time), then sends those due in one sendmmsg. A sender that
// spins on the clock between datagrams holds a core for nothing, and at a million datagrams a
// second the senders would take the cores both receivers need. A sender kept off the CPU
// catches up by at most kMaxBacklog and lets the rest of its backlog go, so a loaded machine
// measures the receiver, not the sender's own scheduling.
inline SendResult pacedSend(const QByteArray& datagram, quint16 port, int rate, int seconds)
{
    constexpr int kBurst = 32;
    constexpr int kMaxBacklog = 64;
    ::prctl(PR_SET_TIMERSLACK, 1000UL, 0, 0, 0);
    SendResult r;
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to = loopback(port);
    iovec iov{const_cast<char*>(datagram.constData()), size_t(datagram.size())};
    mmsghdr burst[kMaxBacklog]{};
    for (mmsghdr& m : burst) {
        m.msg_hdr.msg_name = &to;
        m.msg_hdr.msg_namelen = sizeof to;
        m.msg_hdr.msg_iov = &iov;
        m.msg_hdr.msg_iovlen = 1;
    }
    const qint64 start = monotonicNs();
    const qint64 end = start + qint64(seconds) * 1000000000;
    const double interval = 1e9 / rate;
    // Datagram k (from 0) is due at start + (k + 1) * interval; next is the first not yet sent.
    qint64 next = 0;
    auto dueAt = [&](qint64 k) { return start + qint64((k + 1) * interval); };
    for (;;) {
        const qint64 now = monotonicNs();
        if (now >= end)
            break;
        const qint64 due = qint64((now - start) / interval);   // datagrams due by now
        if (due - next < kBurst) {
            const qint64 wake = std::min(dueAt(next + kBurst - 1), end);
            const timespec at{time_t(wake / 1000000000), long(wake % 1000000000)};
            ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);
            continue;
        }
        if (due - next > kMaxBacklog)
            next = due - kMaxBacklog;
        const int n = int(std::min<qint64>(due - next, kMaxBacklog));
        const int sent = ::sendmmsg(fd, burst, unsigned(n), 0);
        r.sent += sent > 0 ? quint64(sent) : 0;
        next += n;
    }
    r.achieved = r.sent / ((monotonicNs() - start) / 1e9);
    ::close(fd);
    return r;
}

// pacedSend in child processes of their own session, one per kPerSender datagrams/s (one
// loopback sender tops out near 300k/s here). With the scheduler's per-session groups
// (autogroup), a sender inside this process would share one group's CPU with the agent's
// threads, while the peer daemon has a share to itself.
inline SendResult sendFromChild(const QByteArray& datagram, quint16 port, int rate, int seconds)
{
    constexpr int kPerSender = 150000;
    const int senders = std::max(1, (rate + kPerSender - 1) / kPerSender);
    struct Child
    {
        pid_t pid;
        int fd;
    };
    std::vector<Child> children;
    for (int i = 0; i < senders; ++i) {
        int fds[2];
        if (::pipe(fds) != 0)
            break;
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            ::setsid();
            const int share = rate / senders + (i < rate % senders ? 1 : 0);
            const SendResult r = pacedSend(datagram, port, share, seconds);
            const ssize_t written = ::write(fds[1], &r, sizeof r);
            ::_exit(written == sizeof r ? 0 : 1);
        }
        ::close(fds[1]);
        if (pid < 0) {
            ::close(fds[0]);
            break;
        }
        children.push_back({pid, fds[0]});
    }
    SendResult total;
    for (const Child& c : children) {
        SendResult result;
        size_t got = 0;
        char* out = reinterpret_cast<char*>(&result);
        for (ssize_t n; got < sizeof result && (n = ::read(c.fd, out + got, sizeof result - got)) > 0;)
            got += size_t(n);
        ::waitpid(c.pid, nullptr, 0);
        ::close(c.fd);
        if (got == sizeof result) {
            total.sent += result.sent;
            total.achieved += result.achieved;
        }
    }
    return total;
}

} // namespace receiverbench
