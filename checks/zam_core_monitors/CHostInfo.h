#pragma once
// Turns a monitor's host into an IPv4 address the same way for every monitor type: the address
// text the daemon filled in is preferred, the host name is resolved otherwise, and a missing or
// bad host ends in the record's fail reason. With mode 0 the daemon is asked to refresh the
// host's resolution in the background.
// Stateless: called from every polling thread at once, each with its own record; no lock.

#include "zam_plugin_api.h"

#include <QByteArray>
#include <QHostAddress>

struct sockaddr_in;
class IPluginGlobalSettings;

class CHostInfo
{
public:
    // Kinds of background resolution request.
    enum { ResolveName = 0, ResolveAddress = 1 };

    // True when the host name or the address text is set; otherwise the fail reason
    // "hostname and IP address are not set".
    static bool testParameters(stZamMonitor* mon);
    // The monitor's IPv4 address; 1 on success, 0 with a fail reason.
    static int resolveToAddr(stZamMonitor* mon, QHostAddress& address);
    // resolveToAddr with the address as dotted text; text is empty on failure.
    static int resolveForUnc(stZamMonitor* mon, QByteArray& text);
    // The name to connect to (host name in ACE form, or the address text), leaving the
    // resolution to the caller; 0 only when neither host text is set.
    static int resolveAsync(stZamMonitor* mon, QByteArray& name);
    // All bytes zero, AF_INET, port and address in network byte order.
    static void fillAddr(sockaddr_in& addr, const QHostAddress& address, quint16 port);
    // Hands the request to the daemon's background resolver when the daemon offers one.
    static void doResolveAsync(int kind, const char* first, const char* second);
};

// The daemon's global plug-in settings, or null when the daemon does not offer them (asked
// again on the next call). The pointer, once obtained, is kept for the rest of the run.
IPluginGlobalSettings* getPluginGlobalSettings();
