#pragma once
// What the receiver benchmarks share: a free loopback UDP port, CPU time of this thread and of
// another process, a paced sender in a child process, and the waits for a peer's count to
// settle.

#include <QFile>
#include <QHostAddress>
#include <QList>
#include <QUdpSocket>

#include <arpa/inet.h>
#include <chrono>
#include <functional>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace receiverbench {

struct SendResult
{
    quint64 sent = 0;
    double achieved = 0;   // datagrams per second the sender reached
};

// send (a paced sender filling in its result) in a child process of its own session. With the
// scheduler's per-session groups (autogroup), a sender inside this process would share one
// group's CPU with the agent's threads, while the peer daemon has a share to itself.
inline SendResult sendFromChild(const std::function<void(SendResult&)>& send)
{
    SendResult result;
    int fds[2];
    if (::pipe(fds) != 0)
        return result;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        ::setsid();
        SendResult r;
        send(r);
        const ssize_t written = ::write(fds[1], &r, sizeof r);
        ::_exit(written == sizeof r ? 0 : 1);
    }
    ::close(fds[1]);
    if (pid > 0) {
        size_t got = 0;
        char* out = reinterpret_cast<char*>(&result);
        for (ssize_t n; got < sizeof result && (n = ::read(fds[0], out + got, sizeof result - got)) > 0;)
            got += size_t(n);
        ::waitpid(pid, nullptr, 0);
        if (got != sizeof result)
            result = SendResult();
    }
    ::close(fds[0]);
    return result;
}

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

// Lines a peer has written to its output file.
inline quint64 fileLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    quint64 n = 0;
    char buffer[1 << 16];
    qint64 got;
    while ((got = f.read(buffer, sizeof buffer)) > 0)
        for (qint64 i = 0; i < got; ++i)
            n += buffer[i] == '\n';
    return n;
}

} // namespace receiverbench
