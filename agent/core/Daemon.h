#pragma once

// The daemon body: prepares the process (core application, settings and paths, environment,
// signals, log file, message handler, TLS and libcurl), runs the service loop on the calling
// (main) thread and tears down. Answers the exit code: 0, or 2 when the shutdown failed and
// components were left running (the stop line is written in both cases).
int runDaemon();
