#pragma once
#include <QByteArray>
#include <QString>

class QSslCertificate;
class QSslKey;

// Readers of the local certificate and private key. Reentrant; they log nothing, the caller
// logs or forwards the error text. The returned objects are owned by the caller.

// kind is the word used in messages: "certificate" or "private key".
QByteArray readSslFile(const QString& path, const QString& kind, QString& error);
QSslCertificate* loadCertificate(const QString& path, QString& error);
// Only RSA keys are used; a readable key of another type is told apart from a bad one.
QSslKey* loadPrivateKey(const QString& path, const QByteArray& passPhrase, QString& error);

// True when the private key belongs to the certificate. A mismatched pair would otherwise
// only fail later, in every handshake, with an obscure TLS error.
bool keyMatchesCertificate(const QSslCertificate& certificate, const QSslKey& key);
// The texts for a mismatched pair: "private key file %1 does not match certificate file %2".
QString keyMismatchText(const QString& keyPath, const QString& certificatePath);
