#pragma once
// The settings the SMTP, POP3 and IMAP monitor types share (port, login, secure connection type
// and TLS options), read from a monitor's settings by type letter, and the hint given when a
// failed connection used the well-known port of the other kind of connection. Plain value type,
// one poll's thread.

#include "zam_plugin_api.h"

#include <string>

struct MailServerSettings {
    enum Take { NotMine, Taken, PortOutOfRange };

    int port = 0;
    bool havePort = false;
    bool authentication = false;
    bool haveAuthentication = false;
    std::string user;
    std::string password;
    bool haveUser = false;
    bool havePassword = false;
    int secureType = 1;  // TLS if available
    bool ignoreSslErrors = true;
    bool tls10Only = false;

    // Reads one entry: 'i' the port, 'c' the authentication flag, 'l' the user name, 'p' the
    // password, 'e' the secure type, the 'y' entries "Ignore SSL certificate errors" and
    // "Use TLS v1.0 only". A port outside 0 to 65535 sets the monitor's reason.
    Take take(stZamMonitor* mon, const stZamSettingEntry& entry, const char* portOkLog);

    // The port and the authentication flag, and with authentication the user name and password;
    // none of the texts may hold a control character (it would end the protocol line early).
    bool complete() const;

    // For an ordinary poll on the other kind's well-known port ("POP3", 995, 110): sets the
    // "%s Port %d requires (non-)SSL connection by default..." reason; false when none applies.
    bool setPortHint(stZamMonitor* mon, const char* protocol, int sslPort, int plainPort) const;
};

// No byte below 32 and no DEL.
bool isProtocolArgument(const std::string& text);
