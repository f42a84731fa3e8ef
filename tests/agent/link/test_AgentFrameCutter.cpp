// Cutting frames out of received bytes.
#include "link/AgentMessageHeader.h"
#include "link/AgentFrameCutter.h"
#include "support/AgentTestPeer.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

namespace msg = peer::msg;

// Cuts everything from the stream fed in pieces of the given sizes; the sizes of the frames
// in order, and the error kind that stopped it (NeedMore when none).
QList<qint64> feed(const QByteArray& stream, const QList<int>& cuts, SAgentFrameCut::Kind& end)
{
    QList<qint64> frames;
    QByteArray buffer;
    int at = 0;
    end = SAgentFrameCut::NeedMore;
    QList<int> pieces = cuts;
    pieces << stream.size();
    for (int next : pieces) {
        buffer += stream.mid(at, next - at);
        at = next;
        for (;;) {
            const SAgentFrameCut cut = cutAgentFrame(buffer.constData(), buffer.size());
            if (cut.kind == SAgentFrameCut::Frame) {
                frames << cut.frameSize;
                buffer.remove(0, int(cut.frameSize));
                continue;
            }
            if (cut.kind != SAgentFrameCut::NeedMore) {
                end = cut.kind;
                return frames;
            }
            break;
        }
    }
    return frames;
}

TEST(AgentFrameCutter, HeaderAndLengthChecks)
{
    const struct {
        const char* name;
        QByteArray bytes;
        SAgentFrameCut::Kind kind;
        qint64 size;
    } cases[] = {
        {"empty", QByteArray(), SAgentFrameCut::NeedMore, 0},
        {"twelve bytes, even with a bad magic", QByteArray(12, 'x'), SAgentFrameCut::NeedMore, 0},
        {"bad magic at the thirteenth byte", peer::header(1, msg::PingReq, 0, 0xEB), SAgentFrameCut::BadHeader, 0},
        {"bad magic before a valid frame", peer::header(1, msg::PingReq, 0, 0) + peer::frame(1, msg::PingReq),
         SAgentFrameCut::BadHeader, 0},
        {"header only", peer::header(-1, msg::PingReq, 0), SAgentFrameCut::Frame, AgentMessageHeader::Size},
        {"incomplete body", peer::header(1, msg::PollReq, 5) + "ab", SAgentFrameCut::NeedMore, 0},
        {"complete body and more", peer::header(1, msg::PollReq, 2) + "abXYZ", SAgentFrameCut::Frame,
         AgentMessageHeader::Size + 2},
        {"negative length", peer::header(1, msg::PingReq, -1), SAgentFrameCut::BadLength, 0},
        {"most negative length", peer::header(1, msg::PingReq, std::numeric_limits<qint32>::min()),
         SAgentFrameCut::BadLength, 0},
        {"largest allowed body, not yet there", peer::header(1, msg::Upgrade, 256 * 1024 * 1024),
         SAgentFrameCut::NeedMore, 0},
        {"one over the maximum", peer::header(1, msg::Upgrade, 256 * 1024 * 1024 + 1), SAgentFrameCut::BadLength, 0},
        // These would overflow a 32-bit "13 + length".
        {"length 0x7FFFFFF3", peer::header(1, msg::Upgrade, 0x7FFFFFF3), SAgentFrameCut::BadLength, 0},
        {"length 0x7FFFFFFF", peer::header(1, msg::Upgrade, 0x7FFFFFFF), SAgentFrameCut::BadLength, 0},
    };
    for (const auto& c : cases) {
        const SAgentFrameCut cut = cutAgentFrame(c.bytes.constData(), c.bytes.size());
        EXPECT_EQ(cut.kind, c.kind) << c.name;
        EXPECT_EQ(cut.frameSize, c.size) << c.name;
    }
    // Without the maximum, the largest length waits for its bytes and never wraps.
    const QByteArray h = peer::header(1, msg::Upgrade, 0x7FFFFFFF);
    const SAgentFrameCut open = cutAgentFrame(h.constData(), h.size(), std::numeric_limits<qint64>::max());
    EXPECT_EQ(open.kind, SAgentFrameCut::NeedMore);
}

TEST(AgentFrameCutter, EverySplitGivesTheSameFrames)
{
    const QByteArray stream = peer::frame(1, msg::PingReq) + peer::frame(7, msg::PollReq, {peer::Field::num("mon_id", 42)})
                              + peer::frame(-1, msg::DisconnectReason, {peer::Field::raw("reason", "a,b=c)")})
                              + peer::frame(3, msg::CheckConnectionReq);
    SAgentFrameCut::Kind end;
    const QList<qint64> whole = feed(stream, {}, end);
    ASSERT_EQ(whole.size(), 4);
    EXPECT_EQ(end, SAgentFrameCut::NeedMore);
    for (int a = 1; a < stream.size(); ++a) {
        EXPECT_EQ(feed(stream, {a}, end), whole) << "split at " << a;
        for (int b = a + 1; b < stream.size(); b += 7)
            EXPECT_EQ(feed(stream, {a, b}, end), whole) << "split at " << a << " and " << b;
    }
    QList<int> everyByte;
    for (int i = 1; i < stream.size(); ++i)
        everyByte << i;
    EXPECT_EQ(feed(stream, everyByte, end), whole);

    // A bad frame stops the cut at once, wherever the bytes were split.
    const QByteArray bad =
        peer::frame(1, msg::PingReq) + peer::header(2, msg::PingReq, -4) + peer::frame(3, msg::PingReq);
    for (int a = 1; a < bad.size(); ++a) {
        EXPECT_EQ(feed(bad, {a}, end).size(), 1) << a;
        EXPECT_EQ(end, SAgentFrameCut::BadLength) << a;
    }
}

} // namespace
