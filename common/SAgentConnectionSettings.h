#pragma once
#include <QByteArray>
#include <QString>

// One agent-link endpoint as connections and servers take it; copied by value.
// The settings-file reader fills it (and sets readFromSettings); tests fill it directly.
struct SAgentConnectionSettings
{
    bool readFromSettings = false;   // set for every record read from the settings file
    int transport = 0;               // 0 TCP, anything else TLS
    QString host;
    int port = 0;
    QString privateKeyPath;
    QString certificatePath;
    QByteArray keyPassPhrase;
    QString serviceCertificatePath;
    bool allowUntrustedService = false;
    // A TLS handshake that has not finished after this many milliseconds is dropped
    // (0 or less: no limit). Keeps stalled peers from holding a session for ever.
    int handshakeTimeoutMs = 30000;

    bool isTcp() const { return transport == 0; }
};
