#pragma once
#include <netinet/in.h>
#include <sys/socket.h>

#include <vector>

// The datagrams waiting on an IPv4 UDP socket that someone else owns, read many per system
// call (recvmmsg) into buffers kept here: each with its sender, and the local address and
// interface it came in on when the socket asks for IP_PKTINFO (an answer then leaves from
// the address the sender wrote to).
// Threads: one thread reads and looks at the datagrams; a read reuses the buffers.
// Ownership: the descriptor stays the caller's; the buffers are its own, made at the first read.
class UdpDatagramBatch
{
public:
    // Datagrams taken per system call.
    static constexpr int kBatch = 32;
    // The largest UDP payload, and a byte to spare.
    static constexpr int kMaxDatagram = 65536;

    struct Datagram
    {
        unsigned char* bytes = nullptr;   // valid until the next read
        int size = 0;
        sockaddr_in sender{};
        in_addr local{};    // INADDR_ANY when the socket gave none
        int ifIndex = 0;
    };

    UdpDatagramBatch() = default;
    UdpDatagramBatch(const UdpDatagramBatch&) = delete;
    UdpDatagramBatch& operator=(const UdpDatagramBatch&) = delete;

    // Reads up to max (at most kBatch) datagrams that are already pending, without waiting.
    // Answers how many; 0 when none is pending or the socket fails.
    int read(int fd, int max);
    const Datagram& at(int index) const { return m_datagrams[static_cast<size_t>(index)]; }

private:
    // Room for one IP_PKTINFO message per datagram.
    static constexpr int kControlBytes = 64;

    std::vector<unsigned char> m_buffers;
    std::vector<unsigned char> m_control;
    std::vector<Datagram> m_datagrams;
};
