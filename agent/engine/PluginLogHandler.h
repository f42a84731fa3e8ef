#pragma once

// The log sink the daemon registers with the checks library (and with its own copy of the
// monitor helpers). Levels: 0 nothing, 1 warning, 2 critical, 3 fatal (ends the process),
// 4 a plain log line; any other level gives "unknown plugin log type: %1" and drops the text.
// Called on any thread that runs library code.
int pluginLogHandler(int level, const char* text);
