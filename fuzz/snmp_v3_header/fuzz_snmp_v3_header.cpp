// The plain SNMPv3 header read before Net-SNMP parses a trap datagram: any bytes give a header
// within its bounds or a refusal, never a read past the datagram.
#include "agent/receivers/SnmpV3Header.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const bool v3 = SnmpV3Header::isVersion3(data, size);
    SnmpV3Header header;
    if (SnmpV3Header::read(data, size, &header)) {
        if (header.engineId.size() > SnmpV3Header::kMaxEngineId || header.userName.size() > SnmpV3Header::kMaxUserName)
            abort();
        if (!v3)   // a readable header is always a v3 message
            abort();
    }
    return 0;
}
