#pragma once
// The floor under every receiver in a paced bench: a thread that only drains a socket of the
// same receive buffer and counts (poll, then recvmmsg until empty, with a 100 us pause
// between drains while datagrams keep coming). What it loses, a receiver that sleeps between
// datagrams on this machine loses: its thread was not woken in time.

#include "ReceiverBenchHelpers.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <thread>

namespace receiverbench {

// Threads: built and read on the bench's thread; its own thread drains the socket.
// Ownership: the socket and the thread are its own.
class BareReader
{
public:
    BareReader() : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in local = loopback(0);
        ::bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local);
        socklen_t length = sizeof local;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length);
        m_port = ntohs(local.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~BareReader()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }
    quint16 port() const { return m_port; }
    quint64 count() const { return m_count.load(); }

private:
    int drain()
    {
        constexpr int kBatch = 32;
        static thread_local char buffers[kBatch][2048];
        mmsghdr headers[kBatch];
        iovec vectors[kBatch];
        int total = 0;
        for (;;) {
            for (int i = 0; i < kBatch; ++i) {
                vectors[i] = {buffers[i], sizeof buffers[i]};
                std::memset(&headers[i], 0, sizeof headers[i]);
                headers[i].msg_hdr.msg_iov = &vectors[i];
                headers[i].msg_hdr.msg_iovlen = 1;
            }
            const int got = ::recvmmsg(m_fd, headers, kBatch, MSG_DONTWAIT, nullptr);
            if (got <= 0)
                return total;
            m_count.fetch_add(quint64(got));
            total += got;
            if (got < kBatch)
                return total;
        }
    }
    void run()
    {
        pollfd p{m_fd, POLLIN, 0};
        while (!m_stop) {
            if (::poll(&p, 1, 50) <= 0)
                continue;
            while (!m_stop && drain() > 0)
                std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }

    int m_fd;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<quint64> m_count{0};
    std::thread m_thread;
};

} // namespace receiverbench
