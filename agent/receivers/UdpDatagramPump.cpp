#include "UdpDatagramPump.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace {

// What goes in front of each datagram in a block.
struct Record
{
    int32_t size;
    int32_t ifIndex;
    sockaddr_in sender;
    in_addr local;
    uint32_t padding;
};
static_assert(sizeof(Record) % 8 == 0, "records keep their successors aligned");

size_t recordBytes(int size)
{
    return sizeof(Record) + ((static_cast<size_t>(size) + 7) & ~size_t(7));
}
static_assert(sizeof(Record) + UdpDatagramBatch::kMaxDatagram <= UdpDatagramPump::kBlockBytes, "a block holds any datagram");

void poke(int fd)
{
    const uint64_t one = 1;
    while (::write(fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void drain(int fd)
{
    uint64_t count;
    while (::read(fd, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

} // namespace

UdpDatagramPump::UdpDatagramPump() = default;

UdpDatagramPump::~UdpDatagramPump()
{
    stop();
}

bool UdpDatagramPump::start(int fd)
{
    stop();
    m_readyFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m_stopFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_readyFd >= 0 && m_stopFd >= 0) {
        try {
            m_thread = std::thread([this, fd] { run(fd); });
            pthread_setname_np(m_thread.native_handle(), "udp datagrams");
            return true;
        } catch (const std::system_error&) {
        }
    }
    stop();
    return false;
}

void UdpDatagramPump::stop()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_room.notify_all();
        poke(m_stopFd);
        m_thread.join();
    }
    for (int* fd : {&m_readyFd, &m_stopFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    for (Block* block : m_filled)
        m_spare.push_back(block);
    m_filled.clear();
    m_signalled = false;
    m_stopping = false;
}

void UdpDatagramPump::run(int fd)
{
    pollfd fds[2] = {{fd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents || (fds[0].revents & POLLNVAL))
            return;
        // While datagrams keep coming, a short pause between drains lets them gather: woken
        // for each datagram of a steady stream, this thread and the consumer would spend more
        // on waking than on the datagrams. The pause is far shorter than the socket's buffer
        // lasts; an idle socket costs none.
        for (;;) {
            const int got = drainSocket(fd);
            if (got < 0)
                return;
            if (got == 0)
                break;
            const timespec pause{0, kGatherPauseNs};
            ::nanosleep(&pause, nullptr);
        }
    }
}

int UdpDatagramPump::drainSocket(int fd)
{
    int total = 0;
    for (;;) {
        const int got = m_batch.read(fd, UdpDatagramBatch::kBatch);
        if (got == 0)
            return total;
        std::unique_lock<std::mutex> lock(m_mutex);
        for (int i = 0; i < got; ++i) {
            const Datagram& d = m_batch.at(i);
            const size_t need = recordBytes(d.size);
            for (;;) {
                if (m_stopping)
                    return -1;
                Block* back = m_filled.empty() ? nullptr : m_filled.back();
                if (back && kBlockBytes - back->used >= need) {
                    Record record{d.size, d.ifIndex, d.sender, d.local, 0};
                    std::memcpy(back->bytes.get() + back->used, &record, sizeof record);
                    std::memcpy(back->bytes.get() + back->used + sizeof record, d.bytes, static_cast<size_t>(d.size));
                    back->used += need;
                    break;
                }
                Block* fresh = nullptr;
                if (!m_spare.empty()) {
                    fresh = m_spare.back();
                    m_spare.pop_back();
                } else if (static_cast<int>(m_blocks.size()) < kMaxBlocks) {
                    m_blocks.emplace_back(new Block);
                    fresh = m_blocks.back().get();
                }
                if (fresh) {
                    fresh->used = 0;
                    m_filled.push_back(fresh);
                    continue;
                }
                // Every block is full: the consumer takes what waits, then there is room.
                signalLocked();
                m_room.wait(lock);
            }
        }
        signalLocked();
        lock.unlock();
        total += got;
        if (got < UdpDatagramBatch::kBatch)
            return total;
    }
}

void UdpDatagramPump::signalLocked()
{
    if (m_signalled)
        return;
    m_signalled = true;
    poke(m_readyFd);
}

int UdpDatagramPump::take(int max, const std::function<void(const Datagram&)>& fn)
{
    int done = 0;
    while (done < max) {
        Block* block = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_filled.empty()) {
                // Nothing waits: readyFd goes quiet until the reader stores again.
                if (m_signalled && m_readyFd >= 0)
                    drain(m_readyFd);
                m_signalled = false;
                break;
            }
            block = m_filled.front();
            m_filled.pop_front();
        }
        for (size_t at = 0; at < block->used;) {
            Record record;
            std::memcpy(&record, block->bytes.get() + at, sizeof record);
            Datagram d;
            d.bytes = block->bytes.get() + at + sizeof record;
            d.size = record.size;
            d.sender = record.sender;
            d.local = record.local;
            d.ifIndex = record.ifIndex;
            fn(d);
            ++done;
            at += recordBytes(record.size);
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_spare.push_back(block);
        }
        m_room.notify_one();
    }
    return done;
}
