#include "WaitForReply.h"

#include "CTimeWatcher.h"
#include "zam_monitor_helpers.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>

ReplyWait waitForReply(stZamMonitor* mon, int fd, uint32_t timeoutMs)
{
    const uint32_t start = CTimeWatcher::nowMillisec();
    for (;;) {
        const uint32_t spent = CTimeWatcher::nowMillisec() - start;
        if (spent >= timeoutMs)
            return ReplyWait::TimedOut;
        if (monitorStillAlive(mon))
            return ReplyWait::Aborted;
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("waiting for reply"));
        pollfd p{fd, POLLIN, 0};
        const int step = static_cast<int>(std::min<uint32_t>(timeoutMs - spent, kReplyWaitStepMs));
        const int n = ::poll(&p, 1, step);
        if (n > 0)
            return ReplyWait::Readable;
        if (n < 0 && errno != EINTR)
            return ReplyWait::Failed;
    }
}
