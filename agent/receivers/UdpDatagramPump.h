#pragma once
#include "UdpDatagramBatch.h"

#include <condition_variable>
#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Drains an IPv4 UDP socket on a thread of its own into a bounded buffer, so the socket's
// kernel buffer empties as fast as datagrams come even while the thread that parses them is
// busy or off the CPU: a burst then waits here, not in a kernel buffer a few milliseconds
// deep. The consumer's event loop watches readyFd(), which is readable while datagrams wait,
// and takes them in arrival order, many per wake-up.
// Bounded: at most kMaxBlocks blocks of kBlockBytes; when they are full the reader waits for
// the consumer and the socket's own buffer fills (and drops) as it would without this.
// Threads: start, stop and take on the consumer's thread; the reader thread only reads the
// socket and fills blocks. m_mutex guards the block lists and the signalled flag; a block
// taken by the consumer is its own until it is handed back.
// Ownership: the socket stays the caller's and must outlive stop(); the blocks, the two
// event descriptors and the thread are its own.
class UdpDatagramPump
{
public:
    using Datagram = UdpDatagramBatch::Datagram;

    // One block holds any datagram and the record in front of it.
    static constexpr size_t kBlockBytes = 128 * 1024;
    static constexpr int kMaxBlocks = 32;
    // Pause between drains while datagrams keep coming.
    static constexpr long kGatherPauseNs = 100000;

    UdpDatagramPump();
    UdpDatagramPump(const UdpDatagramPump&) = delete;
    UdpDatagramPump& operator=(const UdpDatagramPump&) = delete;
    ~UdpDatagramPump();

    // Starts reading fd; false (nothing started) when the descriptors or the thread cannot be made.
    bool start(int fd);
    // Ends the reader and forgets what waits; the socket can be closed after it.
    void stop();
    bool isRunning() const { return m_thread.joinable(); }

    // Readable while datagrams wait; -1 when not started.
    int readyFd() const { return m_readyFd; }

    // Calls fn for the waiting datagrams in arrival order, whole blocks at a time, until at
    // least max are done or none is left; fn's datagram is valid during the call only.
    // Answers how many.
    int take(int max, const std::function<void(const Datagram&)>& fn);

private:
    struct Block
    {
        std::unique_ptr<unsigned char[]> bytes{new unsigned char[kBlockBytes]};
        size_t used = 0;
    };

    void run(int fd);
    // Moves what the socket holds into blocks, waiting for room when they are full; answers
    // how many, or -1 when stopping.
    int drainSocket(int fd);
    void signalLocked();

    int m_readyFd = -1;   // consumer's wake-up: written when datagrams start to wait
    int m_stopFd = -1;    // reader's wake-up for stop
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_room;
    std::deque<Block*> m_filled;   // oldest first; the reader appends to the back one
    std::vector<Block*> m_spare;
    std::vector<std::unique_ptr<Block>> m_blocks;
    bool m_signalled = false;
    bool m_stopping = false;
    UdpDatagramBatch m_batch;   // the reader's
};
