#pragma once
// The monitor's host as an IPv4 address for the network checks: the address text the daemon
// filled in, or the host name resolved (WebUtils). Stateless; any thread.

#include "zam_plugin_api.h"

#include <QHostAddress>

// True with the address; false with the monitor's failure reason set ("hostname and IP address
// are not set", "invalid host IP address", "cannot resolve host IP address").
bool resolveMonitorIPv4(stZamMonitor* mon, QHostAddress& address);
