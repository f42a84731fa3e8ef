// The relay's "host:port" text from the service.
#include "link/RelayPeerText.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QString host;
    quint16 port = 0;
    if (parseRelayPeerText(QByteArray(reinterpret_cast<const char*>(data), int(size)), host, port)
        && (port == 0 || host.isEmpty()))
        __builtin_trap();
    return 0;
}
