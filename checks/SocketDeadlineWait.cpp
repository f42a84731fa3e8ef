#include "SocketDeadlineWait.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>

namespace {
constexpr uint32_t kStepMs = 250;
}

SocketWaitResult waitSocketWithin(int fd, short events, int limitMs, const CTimeWatcher& budget,
                                  ZamStillAliveCallback stillAlive, void* stillAliveContext)
{
    const uint32_t limitStart = CTimeWatcher::nowMillisec();
    for (;;) {
        if (stillAlive && stillAlive(stillAliveContext) != 0)
            return {SocketWaitResult::Aborted, 0};
        const uint32_t left = budget.remainingTimeMillisec();
        if (left == 0)
            return {SocketWaitResult::Expired, 0};
        uint32_t step = std::min(left, kStepMs);
        if (limitMs >= 0) {
            const uint32_t used = CTimeWatcher::nowMillisec() - limitStart;
            if (used >= static_cast<uint32_t>(limitMs))
                return {SocketWaitResult::LimitReached, 0};
            step = std::min(step, static_cast<uint32_t>(limitMs) - used);
        }
        pollfd pfd{fd, events, 0};
        const int n = ::poll(&pfd, 1, static_cast<int>(step));
        if (n > 0)
            return {SocketWaitResult::Ready, pfd.revents};
        if (n < 0 && errno != EINTR)
            return {SocketWaitResult::Failed, 0};
    }
}
