#pragma once
// The wait of a datagram check for its reply: until the socket is readable, the time runs out
// or the host asks the poll to stop. The stop request is seen within kReplyWaitStepMs; a signal
// that interrupts the wait does not end it. Stateless; runs on the polling thread.

#include "zam_plugin_api.h"

#include <cstdint>

constexpr int kReplyWaitStepMs = 1000;

enum class ReplyWait {
    Readable,  // a datagram (or an error report) is waiting
    TimedOut,  // the whole time passed without one
    Aborted,   // the host's still-alive callback asked to stop
    Failed,    // poll() failed; errno tells why
};

// Logs "waiting for reply" before every step, as the checks' trace shows.
ReplyWait waitForReply(stZamMonitor* mon, int fd, uint32_t timeoutMs);
