// Frame decoder: any bytes in, a message or a reason out; a decoded message re-encodes
// to a frame that decodes again.
#include "link/AgentMessageBody.h"
#include "link/AgentMessageDecoder.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    const char* bytes = reinterpret_cast<const char*>(data);
    for (bool wide : {false, true}) {
        QString err;
        CAgentMessagePtr m = decodeAgentMessage(bytes, int(size), err, wide);
        if (!m) {
            if (err.isEmpty())
                abort();
            continue;
        }
        const QByteArray again = m->toFrame();
        QString err2;
        CAgentMessagePtr m2 = decodeAgentMessage(again.constData(), again.size(), err2, wide);
        if (!m2 || m2->type() != m->type() || m2->toFrame() != again)
            abort();
    }
    // The body splitter on the raw input, with its span guarantee.
    AgentBodyParts parts;
    if (splitAgentMessageBody(bytes, int(size), parts)) {
        for (const auto& r : parts.raws)
            if (r.second.position < 0 || r.second.count < 0 || uint64_t(r.second.position) + r.second.count > size)
                abort();
    }
    quoteBodyForLog(bytes, int(size));
    return 0;
}
