#include "AgentFrameCutter.h"

#include "AgentMessageHeader.h"

#include <cstring>

SAgentFrameCut cutAgentFrame(const char* data, qint64 size, qint64 maxBody)
{
    SAgentFrameCut cut;
    if (!data || size < AgentMessageHeader::Size)
        return cut;
    if (quint8(data[0]) != AgentMessageHeader::Magic) {
        cut.kind = SAgentFrameCut::BadHeader;
        return cut;
    }
    // Little-endian int32 at offset 9, read byte by byte (no alignment or host-order needs).
    const quint32 raw = quint32(quint8(data[9])) | quint32(quint8(data[10])) << 8 | quint32(quint8(data[11])) << 16
                        | quint32(quint8(data[12])) << 24;
    const qint64 length = qint32(raw);
    if (length < 0 || length > maxBody) {
        cut.kind = SAgentFrameCut::BadLength;
        return cut;
    }
    // 64-bit sum: cannot overflow for any 32-bit length.
    const qint64 total = qint64(AgentMessageHeader::Size) + length;
    if (size < total)
        return cut;
    cut.kind = SAgentFrameCut::Frame;
    cut.frameSize = total;
    return cut;
}
