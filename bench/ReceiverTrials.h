#pragma once
// The trials both receiver benches run beside the agent's own: the peer daemon, counted by the
// lines it writes, and the bare reader, each sent the same datagram at a paced rate.

#include "BareReader.h"
#include "RateSearch.h"
#include "ReceiverBenchHelpers.h"

namespace receiverbench {

inline Trial peerTrial(const QByteArray& datagram, quint16 port, LineCounter& out, long pid, int rate, int seconds)
{
    const quint64 before = out.count();
    const quint64 drops0 = socketStats(port).drops;
    const double cpu0 = pidCpuSeconds(pid);
    const SendResult r = sendFromChild(datagram, port, rate, seconds);
    Trial t;
    t.rate = rate;
    t.sent = r.sent;
    t.achieved = r.achieved;
    t.got = settle([&] { return out.count(); }) - before;
    t.cpuPercent = 100.0 * (pidCpuSeconds(pid) - cpu0) / seconds;
    t.drops = socketStats(port).drops - drops0;
    return t;
}

inline Trial bareTrial(const QByteArray& datagram, int rate, int seconds)
{
    BareReader reader;
    const quint64 drops0 = socketStats(reader.port()).drops;
    const double cpu0 = selfCpuSeconds();
    const SendResult r = sendFromChild(datagram, reader.port(), rate, seconds);
    Trial t;
    t.rate = rate;
    t.sent = r.sent;
    t.achieved = r.achieved;
    t.got = settle([&] { return reader.count(); });
    t.cpuPercent = 100.0 * (selfCpuSeconds() - cpu0) / seconds;
    t.drops = socketStats(reader.port()).drops - drops0;
    return t;
}

} // namespace receiverbench
