// Reads a monitor record from untrusted bytes as the agent link does; an accepted record is
// copied for a poll, prepared, and must write back to the same bytes.
#include "agent/engine/stZamMonitor.h"

#include <QByteArray>
#include <QDataStream>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
size_t touchEntries(const stZamMonitor& r)
{
    size_t sum = 0;
    for (uint32_t i = 0; i < r.settings.count; ++i) {
        const stZamSettingEntry& e = r.settings.entries[i];
        sum += strlen(e.name) + strlen(e.description) + strlen(e.valueText);
        for (int j = 0; j < e.enumCount; ++j)
            sum += strlen(e.enums[j].label) + strlen(e.enums[j].description) + strlen(e.enums[j].disables);
    }
    for (const auto& rule : r.validation)
        sum += rule.text ? strlen(rule.text) : 0;
    return sum + strlen(r.hostName) + strlen(r.hostAddress);
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    stZamMonitorPtr record(new stZamMonitor);
    QDataStream in(bytes);
    in.setVersion(7);
    const QString reason = readMonitorRecord(in, *record);
    if (!reason.isEmpty())
        return 0;
    touchEntries(*record);

    QByteArray written;
    {
        QDataStream out(&written, QIODevice::WriteOnly);
        out.setVersion(7);
        writeMonitorRecord(out, *record);
    }
    stZamMonitorPtr again(new stZamMonitor);
    QDataStream in2(written);
    in2.setVersion(7);
    if (!readMonitorRecord(in2, *again).isEmpty())
        abort();
    QByteArray rewritten;
    {
        QDataStream out(&rewritten, QIODevice::WriteOnly);
        out.setVersion(7);
        writeMonitorRecord(out, *again);
    }
    if (rewritten != written)
        abort();

    stZamMonitorPtr copy = stZamMonitor::copyForPoll(record);
    copy->prepareForPoll();
    touchEntries(*copy);
    return 0;
}
