#pragma once
// What the receiver benchmarks share: a free loopback UDP port, CPU time of this thread and of
// another process, a paced sender in a child process, and the waits for a peer's count to
// settle.

#include <QFile>
#include <QHostAddress>
#include <QList>
#include <QUdpSocket>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
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

// Sends rate datagrams/s for seconds, each when it is due (the thread spins, or naps when well
// ahead), those due together in one sendmmsg. A sender kept off the CPU catches up in bursts of
// at most kMaxBurst and lets the rest of its backlog go, so a loaded machine measures the
// receiver, not the sender's own scheduling.
inline SendResult pacedSend(const QByteArray& datagram, quint16 port, int rate, int seconds)
{
    constexpr int kMaxBurst = 16;
    using Clock = std::chrono::steady_clock;
    SendResult r;
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to = loopback(port);
    iovec iov{const_cast<char*>(datagram.constData()), size_t(datagram.size())};
    mmsghdr burst[kMaxBurst]{};
    for (mmsghdr& m : burst) {
        m.msg_hdr.msg_name = &to;
        m.msg_hdr.msg_namelen = sizeof to;
        m.msg_hdr.msg_iov = &iov;
        m.msg_hdr.msg_iovlen = 1;
    }
    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    const std::chrono::duration<double> interval(1.0 / rate);
    auto due = std::chrono::time_point_cast<Clock::duration>(start + interval);
    for (;;) {
        const auto now = Clock::now();
        if (now >= end)
            break;
        if (due > now) {
            if (due - now > std::chrono::microseconds(60))
                std::this_thread::sleep_for(std::chrono::microseconds(20));
            continue;
        }
        if (now - due > interval * kMaxBurst)
            due = std::chrono::time_point_cast<Clock::duration>(now - interval * kMaxBurst);
        int n = 0;
        for (; n < kMaxBurst && due <= now; ++n)
            due = std::chrono::time_point_cast<Clock::duration>(due + interval);
        const int sent = ::sendmmsg(fd, burst, unsigned(n), 0);
        r.sent += sent > 0 ? quint64(sent) : 0;
    }
    r.achieved = r.sent / std::chrono::duration<double>(Clock::now() - start).count();
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
