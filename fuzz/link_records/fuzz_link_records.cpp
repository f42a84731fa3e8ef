// Raw records inside messages: the first byte picks the record, the rest is its bytes.
#include "engine/CMonitorEvent.h"
#include "engine/CNewMonitorInfo.h"
#include "link/AgentMessageDecoder.h"
#include "link/AgentMessages.h"
#include "receivers/CSnmpTrap.h"
#include "receivers/SyslogLine.h"

#include <QDataStream>

#include <cstdint>

namespace {

// Decodes a frame of the type whose one raw key holds the record.
void viaMessage(int type, const char* key, const QByteArray& record, bool wide)
{
    QByteArray body = QByteArray(key) + "=RAW(" + QByteArray::number(record.size()) + "," + record + ")";
    QByteArray frame(13, '\0');
    AgentMessageHeader h;
    h.type = type;
    h.length = body.size();
    h.write(frame.data(), 13);
    frame += body;
    QString err;
    decodeAgentMessage(frame.constData(), frame.size(), err, wide);
}

template <class T>
void viaStream(const QByteArray& record)
{
    QDataStream in(record);
    in.setVersion(7);
    T v;
    in >> v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1u << 20))
        return 0;
    const QByteArray record(reinterpret_cast<const char*>(data) + 1, int(size - 1));
    switch (data[0] % 12) {
    case 0: viaMessage(25, "event_data", record, false); break;
    case 1: viaMessage(25, "event_data", record, true); break;
    case 2: viaMessage(23, "snmp_mon_data", record, false); break;
    case 3: viaMessage(28, "syslog_mon_data", record, false); break;
    case 4: viaMessage(30, "attachments", record, false); break;
    case 5: viaMessage(32, "attachments", record, false); break;
    case 6: viaMessage(31, "missing_attachments", record, false); break;
    case 7: viaMessage(35, "mode", record, false); break;
    case 8: {
        QList<CNewMonitorInfo> list;
        readNewMonitorsRecord(record, list);
        break;
    }
    case 9: viaStream<CSnmpTrapPtr>(record); break;
    case 10: viaStream<SyslogCallbackSharedDataPointer>(record); break;
    case 11: {
        SPollOutcome o;
        readPollDurationRecord(record, o);
        break;
    }
    }
    return 0;
}
