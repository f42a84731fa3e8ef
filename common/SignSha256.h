#pragma once

#include <QByteArray>
#include <QString>

// Signs data with SHA-256 and a PEM private key (any type DER decoding recognises) and returns
// the signature as one-line Base64 text; the empty text when the key cannot be read or signing
// fails. Thread-safe (no shared state).
QString signSha256(const QByteArray& pemPrivateKey, const QByteArray& data);
