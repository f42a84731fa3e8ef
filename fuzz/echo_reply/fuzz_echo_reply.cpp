// Judging arbitrary received datagrams as echo replies: the first byte picks the packet size.
// Whatever arrives, the check reads only within the datagram and never accepts a request.

#include "Monitor/zam_icmp_echo.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const int packetSize = 32 + 2 * (data[0] % 8);
    const unsigned char* packet = data + 1;
    const size_t length = size - 1;
    const QString why = checkEchoReply(packet, length, packetSize, 0x0100007f, 1, 1, 0);
    if (why.isEmpty()) {
        const size_t header = static_cast<size_t>(packet[0] & 0x0f) * 4;
        if (packet[header] != 0 || packet[header + 1] != 0)
            abort();
    }
    return 0;
}
