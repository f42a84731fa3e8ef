#pragma once
#include <QtGlobal>

// Cuts agent-link frames out of received bytes. Pure: no state, no allocation.
// The largest body accepted: large enough for upgrade packages; a header that announces
// more is refused at once ("bad message data") without waiting for or buffering the bytes.
constexpr qint64 kMaxAgentMessageBody = 256LL * 1024 * 1024;

struct SAgentFrameCut
{
    enum Kind {
        NeedMore,    // no complete frame yet (12 bytes or fewer, or the body is incomplete)
        Frame,       // a complete frame of frameSize bytes starts at the front
        BadHeader,   // the first byte is not the frame magic
        BadLength,   // negative body length, or longer than the maximum
    };
    Kind kind = NeedMore;
    qint64 frameSize = 0;
};

// Looks at the bytes at the front of data (size bytes).
SAgentFrameCut cutAgentFrame(const char* data, qint64 size, qint64 maxBody = kMaxAgentMessageBody);
