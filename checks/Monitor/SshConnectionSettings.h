#pragma once
// The nine connection settings every SSH monitor type starts its table with, read through the
// settings parser, checked as one, and turned into the pool's credentials. Plain value type of
// one poll.

#include "Ssh/CSshClientAuth.h"
#include "zam_settings.h"

#include <string>
#include <vector>

struct SshConnectionSettings
{
    int port = 0;
    int testHostKey = 1;
    int method = 0;
    std::string fingerprint, user, password, publicKey, privateKey, passphrase;

    // Option rows with the bits 0x1 to 0x100 of the connection settings.
    void addOptions(std::vector<PluginOption>& options);
    // The fingerprint, password and key files that the method and the host-key test need were
    // found (bits as found by the parser).
    bool consistent(int found) const;
    CSshClientAuth auth() const;
    QByteArray fingerprintBytes() const { return QByteArray::fromStdString(fingerprint); }
};
