#pragma once
#include <QMap>
#include <atomic>

// Process-wide values that the command line sets and other parts of the daemon read.
// stopRequested is written from a signal handler, so it is a lock-free atomic.
extern std::atomic<bool> stopRequested;
// Flags word of the option "stress"; read by the interval schedule. 32 at start.
extern std::atomic<int> scheduleDebugFlags;
// Log categories of the option "value" (category -> switch); filled before any thread starts.
QMap<int, int>& logCategories();
// Copy every log line to stderr; cleared by the option "daemon" before the daemon runs.
extern std::atomic<bool> logToStderr;
