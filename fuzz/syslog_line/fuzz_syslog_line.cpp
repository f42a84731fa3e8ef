// Syslog datagrams: any bytes give a record or a rejection with its text, never a crash or a
// read past the datagram; the texts of a parsed line are built from it without fault; and the
// byte parser reads every datagram exactly as the regular-expression reading did.
#include "agent/receivers/SyslogLine.h"
#include "fuzz/syslog_line/SyslogReferenceParse.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SyslogLine line;
    const QByteArray datagram(reinterpret_cast<const char*>(data), static_cast<int>(size));
    if (line.parse(datagram, QStringLiteral("127.0.0.1"))) {
        line.displayText();
        line.shortText();
        line.detailsText();
    }
    const QString differs = syslog_reference::disagreement(datagram);
    if (!differs.isEmpty()) {
        std::fprintf(stderr, "byte parser and reference differ: %s\n", qUtf8Printable(differs));
        std::abort();
    }
    return 0;
}
