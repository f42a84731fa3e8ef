#pragma once
// The environment a monitor's program or script runs in: the agent's own, plus one variable per
// "$" setting whose value is set and is not its own name ("$Port" = 8080 reaches it as Port).

#include "zam_plugin_api.h"

#include <QProcessEnvironment>

QProcessEnvironment monitorEnvironment(const stZamMonitor* mon);
