// Response bytes as the HTTP engine sees them: the first line as a status line, then every
// line as a header line, and the whole input cut into chunks for each kind of rule.

#include "CHttpResponseValidator.h"
#include "HttpStatusLine.h"

#include <cstddef>
#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    // First byte: chunk size; the rule is the bytes up to the first NUL, the response the rest.
    const size_t chunk = static_cast<size_t>(data[0]) + 1;
    const char* text = reinterpret_cast<const char*>(data + 1);
    size_t len = size - 1;
    size_t ruleLen = 0;
    while (ruleLen < len && ruleLen < 64 && text[ruleLen] != '\0')
        ++ruleLen;
    const QByteArray rule(text, static_cast<int>(ruleLen));
    const char* body = text + ruleLen;
    len -= ruleLen;

    bool icy = false;
    parseHttpStatusLine(body, len, &icy);
    isIcyHeaderLine(body, len);

    for (int flags : {0x00, 0x01, 0x05, 0x09, 0x11, 0x19}) {
        std::unique_ptr<CHttpResponseValidator> v(CHttpResponseValidator::create(flags, rule));
        for (size_t at = 0; at < len; at += chunk) {
            const size_t n = len - at < chunk ? len - at : chunk;
            if (!v->validateResponse(body + at, n))
                break;
        }
        v->validateResponse(nullptr, 0);
        const bool whole = v->isOk();
        // The chunking must not change the verdict of a simple rule (an empty response is never fed).
        if (flags == 0x01 && len > 0) {
            std::unique_ptr<CHttpResponseValidator> once(CHttpResponseValidator::create(flags, rule));
            once->validateResponse(body, len);
            once->validateResponse(nullptr, 0);
            if (once->isOk() != whole)
                __builtin_trap();
        }
    }
    return 0;
}
