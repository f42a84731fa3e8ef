#pragma once
// Waits for events on a client library's socket within a poll's time budget, so a peer that
// goes silent can never hold a task thread past the monitor's time-out. Used by the database
// checks, whose client libraries run non-blocking and hand their waits to the caller.
// Stateless; runs on the polling thread.

#include "CTimeWatcher.h"
#include "zam_plugin_api.h"

struct SocketWaitResult {
    enum Kind {
        Ready,        // some of the events arrived (revents)
        LimitReached, // the caller's own limit ran out before the budget did
        Expired,      // the poll's budget ran out
        Aborted,      // the host asked the poll to stop
        Failed,       // poll() itself failed
    };
    Kind kind;
    short revents;
};

// Waits for `events` on fd (may be -1: then only time passes) until they arrive, the budget
// expires, `limitMs` passes (negative: no own limit) or stillAlive asks to stop. A stop
// request is seen within a quarter of a second.
SocketWaitResult waitSocketWithin(int fd, short events, int limitMs, const CTimeWatcher& budget,
                                  ZamStillAliveCallback stillAlive, void* stillAliveContext);
