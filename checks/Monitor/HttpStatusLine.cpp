#include "HttpStatusLine.h"

#include <algorithm>
#include <cstring>

unsigned long parseHttpStatusLine(const char* data, size_t length, bool* icy)
{
    if (icy)
        *icy = length >= 3 && std::memcmp(data, "ICY", 3) == 0;
    const char* end = data + length;
    const char* p = static_cast<const char*>(std::memchr(data, ' ', length));
    if (!p)
        return 0;
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n'))
        ++p;
    unsigned long code = 0;
    int digits = 0;
    // Status codes have three digits; stop well before any overflow.
    while (p < end && *p >= '0' && *p <= '9' && digits < 9) {
        code = code * 10 + static_cast<unsigned long>(*p - '0');
        ++p;
        ++digits;
    }
    return digits ? code : 0;
}

bool isIcyHeaderLine(const char* data, size_t length)
{
    return length >= 4 && std::memcmp(data, "icy-", 4) == 0;
}

void httpCurlTimeouts(int timeoutMs, bool discovery, long* totalSec, long* connectSec)
{
    const long t = std::max(timeoutMs, 2000);
    *totalSec = (t + 999) / 1000;
    if (discovery || timeoutMs < 2000)
        *connectSec = 2;
    else
        *connectSec = (static_cast<long>(timeoutMs) + 999) / 1000;
}
