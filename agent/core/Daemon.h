#pragma once

// The daemon body: prepares the process (core application, settings and paths, environment,
// signals, log file, message handler, TLS), runs the service loop on the calling
// (main) thread and tears down. Answers the exit code: 0, or 2 when the shutdown failed and
// components were left running (the stop line is written in both cases).
#include "CNetworkMonitor.h"

// factory: the root's components (the daemon's own when empty). An application object that
// already exists is used as it is.
int runDaemon(const CNetworkMonitor::ComponentFactory& factory = CNetworkMonitor::ComponentFactory());
