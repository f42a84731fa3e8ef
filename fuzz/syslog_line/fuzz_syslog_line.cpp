// Syslog datagrams: any bytes give a record or a rejection with its text, never a crash or a
// read past the datagram; the texts of a parsed line are built from it without fault.
#include "agent/receivers/SyslogLine.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SyslogLine line;
    const QByteArray datagram(reinterpret_cast<const char*>(data), static_cast<int>(size));
    if (line.parse(datagram, QStringLiteral("127.0.0.1"))) {
        line.displayText();
        line.shortText();
        line.detailsText();
    }
    return 0;
}
