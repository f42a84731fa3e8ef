#include "UdpDatagramBatch.h"

#include <cerrno>
#include <cstring>
#include <sys/uio.h>

static_assert(CMSG_SPACE(sizeof(in_pktinfo)) <= 64, "room for IP_PKTINFO");

int UdpDatagramBatch::read(int fd, int max)
{
    if (fd < 0 || max <= 0)
        return 0;
    const int want = max < kBatch ? max : kBatch;
    if (m_buffers.empty()) {
        m_buffers.resize(size_t(kBatch) * kMaxDatagram);
        m_control.resize(size_t(kBatch) * kControlBytes);
        m_datagrams.resize(kBatch);
    }
    mmsghdr headers[kBatch];
    iovec vectors[kBatch];
    for (int i = 0; i < want; ++i) {
        Datagram& d = m_datagrams[size_t(i)];
        d.bytes = m_buffers.data() + size_t(i) * kMaxDatagram;
        vectors[i].iov_base = d.bytes;
        vectors[i].iov_len = kMaxDatagram;
        std::memset(&headers[i], 0, sizeof headers[i]);
        headers[i].msg_hdr.msg_iov = &vectors[i];
        headers[i].msg_hdr.msg_iovlen = 1;
        headers[i].msg_hdr.msg_name = &d.sender;
        headers[i].msg_hdr.msg_namelen = sizeof d.sender;
        headers[i].msg_hdr.msg_control = m_control.data() + size_t(i) * kControlBytes;
        headers[i].msg_hdr.msg_controllen = kControlBytes;
    }
    int got;
    do {
        got = ::recvmmsg(fd, headers, static_cast<unsigned>(want), MSG_DONTWAIT, nullptr);
    } while (got < 0 && errno == EINTR);
    if (got <= 0)
        return 0;
    for (int i = 0; i < got; ++i) {
        Datagram& d = m_datagrams[size_t(i)];
        d.size = static_cast<int>(headers[i].msg_len);
        d.local.s_addr = htonl(INADDR_ANY);
        d.ifIndex = 0;
        msghdr& h = headers[i].msg_hdr;
        for (cmsghdr* c = CMSG_FIRSTHDR(&h); c; c = CMSG_NXTHDR(&h, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info;
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                d.local = info.ipi_addr;
                d.ifIndex = info.ipi_ifindex;
            }
        }
    }
    return got;
}
