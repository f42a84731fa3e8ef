#pragma once
// One receiver's paced trials at rising rates, then a search between its best lossless rate
// and the lowest rate it lost at: the receiver benches that set the agent beside a peer
// daemon run one of these per receiver, the same rates for each.

#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <climits>
#include <unistd.h>
#include <cstdio>
#include <functional>
#include <vector>

namespace receiverbench {

// One paced trial: what the sender sent and reached, what the receiver passed on, the
// kernel's drops on its socket and its CPU.
struct Trial
{
    int rate = 0;
    quint64 sent = 0;
    quint64 got = 0;
    quint64 drops = 0;
    double achieved = 0;
    double cpuPercent = 0;
    QString detail;   // printed after the row when set
    quint64 lost() const { return sent > got ? sent - got : 0; }
};

// A loaded machine keeps a receiver off the CPU for longer than its socket buffer lasts now
// and then; beside the lossless rates, the rates with at most this share lost show the trend.
constexpr double kNearlyLossless = 0.001;

// Threads: one (the bench's main thread); run is called there.
class RateSearch
{
public:
    RateSearch(const char* kind, const char* name, int seconds, std::function<Trial(int)> run)
        : m_kind(kind), m_name(name), m_seconds(seconds), m_run(run)
    {
    }

    static void printHeader()
    {
        std::printf("%-6s %-10s %8s %9s %10s %10s %8s %8s %8s\n", "kind", "peer", "rate/s", "sent/s", "sent",
                    "received", "lost", "drops", "cpu %");
    }

    void tryRate(int rate)
    {
        if (rate > m_ceiling)
            return;   // more than half lost at a lower rate
        const Trial t = m_run(rate);
        std::printf("%-6s %-10s %8d %9.0f %10llu %10llu %8llu %8llu %8.1f\n", m_kind, m_name, t.rate, t.achieved,
                    (unsigned long long)t.sent, (unsigned long long)t.got, (unsigned long long)t.lost(),
                    (unsigned long long)t.drops, t.cpuPercent);
        if (!t.detail.isEmpty())
            std::printf("%-6s %-10s   %s\n", "", "", qPrintable(t.detail));
        std::fflush(stdout);
        if (t.sent > 0 && t.lost() == 0) {
            m_lossless = std::max(m_lossless, static_cast<int>(t.achieved));
            m_bestRate = std::max(m_bestRate, rate);
        } else if (rate > m_bestRate) {
            m_lowestLossy = std::min(m_lowestLossy, rate);
        }
        if (t.sent > 0 && double(t.lost()) <= kNearlyLossless * t.sent)
            m_nearly = std::max(m_nearly, static_cast<int>(t.achieved));
        m_delivered = std::max(m_delivered, static_cast<int>(t.got / m_seconds));
        if (t.got * 2 < t.sent)
            m_ceiling = std::min(m_ceiling, rate);
    }
    // The next rate to try between the best lossless and the lowest lossy one; 0 when the
    // gap is within a step.
    int nextSearchRate() const
    {
        if (m_lowestLossy == INT_MAX || m_lowestLossy - m_bestRate <= kStep)
            return 0;
        return (m_bestRate + m_lowestLossy) / 2 / kStep * kStep;
    }
    int lossless() const { return m_lossless; }
    int nearlyLossless() const { return m_nearly; }
    // Datagrams a second it passed on at its best, lost ones or not.
    int delivered() const { return m_delivered; }

private:
    static constexpr int kStep = 1000;
    const char* m_kind;
    const char* m_name;
    int m_seconds;
    std::function<Trial(int)> m_run;
    int m_lossless = 0;
    int m_nearly = 0;
    int m_delivered = 0;
    int m_bestRate = 0;
    int m_lowestLossy = INT_MAX;
    int m_ceiling = INT_MAX;
};

// The agent, the peer daemon (when it runs) and a bare reader through the same rates, then
// the searches of each one's edge, in turns; then the ratios, each line led by prefix.
inline void compareReceivers(RateSearch& agent, RateSearch* peer, RateSearch& bare, const std::vector<int>& rates,
                             const char* prefix, const char* peerName, const char* unitsName)
{
    constexpr int kSearchSteps = 3;
    std::vector<RateSearch*> receivers{&agent, &bare};
    if (peer)
        receivers.insert(receivers.begin() + 1, peer);
    for (int rate : rates)
        for (RateSearch* r : receivers)
            r->tryRate(rate);
    for (int step = 0; step < kSearchSteps; ++step)
        for (RateSearch* r : receivers)
            if (const int rate = r->nextSearchRate())
                r->tryRate(rate);
    const long cores = sysconf(_SC_NPROCESSORS_ONLN);
    const auto ratio = [&](const char* what, int a, int p) {
        std::printf("%s%s: agent %d/s, %s %d/s", prefix, what, a, peerName, p);
        if (p > 0)
            std::printf(", ratio %.2f (%ld cores)\n", double(a) / p, cores);
        else
            std::printf(", %s reached none (%ld cores)\n", peerName, cores);
    };
    ratio("highest lossless rate", agent.lossless(), peer ? peer->lossless() : 0);
    char text[96];
    std::snprintf(text, sizeof text, "highest rate with at most %.1f%% lost", 100 * kNearlyLossless);
    ratio(text, agent.nearlyLossless(), peer ? peer->nearlyLossless() : 0);
    std::snprintf(text, sizeof text, "most %s delivered a second (losing or not)", unitsName);
    ratio(text, agent.delivered(), peer ? peer->delivered() : 0);
    std::printf("%sbare-read (no processing, same buffer): lossless up to %d/s, at most %.1f%% lost up to %d/s\n", prefix,
                bare.lossless(), 100 * kNearlyLossless, bare.nearlyLossless());
}

} // namespace receiverbench
