#pragma once
// Pure readers of the response head lines the HTTP engine sees, and the libcurl time-outs it
// derives from a monitor's time-out.

#include <cstddef>

// The code of a status line such as "HTTP/1.1 302 Found" or "ICY 200 OK": the number after the
// first blank, 0 when there is none or it is not a number. `icy` tells an ICY stream.
unsigned long parseHttpStatusLine(const char* data, size_t length, bool* icy);
// A header line that announces an ICY (SHOUTcast) stream.
bool isIcyHeaderLine(const char* data, size_t length);

// CURLOPT_TIMEOUT and CURLOPT_CONNECTTIMEOUT in seconds for a time-out in milliseconds.
void httpCurlTimeouts(int timeoutMs, bool discovery, long* totalSec, long* connectSec);
