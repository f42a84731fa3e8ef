// Frame cutter over a received byte stream: any bytes, cut at any point, give the same
// frames in the same order, never read outside the buffer, and stop at the first framing
// error.
#include "link/AgentFrameCutter.h"
#include "link/AgentMessageDecoder.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {
// Frames cut from the whole stream (sizes), and the error that ended it (-1 none).
QList<qint64> cutAll(const QByteArray& stream, int& error)
{
    QList<qint64> sizes;
    qint64 pos = 0;
    error = -1;
    for (;;) {
        const SAgentFrameCut cut = cutAgentFrame(stream.constData() + pos, stream.size() - pos, 4096);
        if (cut.kind == SAgentFrameCut::Frame) {
            if (cut.frameSize < 13 || pos + cut.frameSize > stream.size())
                abort();
            QString err;
            decodeAgentMessage(stream.constData() + pos, int(cut.frameSize), err, false);
            sizes << cut.frameSize;
            pos += cut.frameSize;
            continue;
        }
        if (cut.kind != SAgentFrameCut::NeedMore)
            error = cut.kind;
        return sizes;
    }
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1u << 16))
        return 0;
    const QByteArray stream(reinterpret_cast<const char*>(data) + 1, int(size - 1));
    int error = -1;
    const QList<qint64> whole = cutAll(stream, error);

    // The same stream arriving in pieces of the first byte's size.
    const int piece = 1 + data[0] % 32;
    QByteArray buffer;
    QList<qint64> pieces;
    int pieceError = -1;
    for (int at = 0; at < stream.size() && pieceError < 0; at += piece) {
        buffer += stream.mid(at, piece);
        for (;;) {
            const SAgentFrameCut cut = cutAgentFrame(buffer.constData(), buffer.size(), 4096);
            if (cut.kind == SAgentFrameCut::Frame) {
                pieces << cut.frameSize;
                buffer.remove(0, int(cut.frameSize));
                continue;
            }
            if (cut.kind != SAgentFrameCut::NeedMore)
                pieceError = cut.kind;
            break;
        }
    }
    if (pieces != whole || pieceError != error)
        abort();
    return 0;
}
