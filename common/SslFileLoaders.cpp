#include "SslFileLoaders.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslKey>

QByteArray readSslFile(const QString& path, const QString& kind, QString& error)
{
    QFile file(path);
    if (!file.exists()) {
        error = QStringLiteral("%1 file %2 doesn't exist").arg(kind, path);
        return QByteArray();
    }
    if (file.open(QIODevice::ReadOnly)) {
        QByteArray data = file.readAll();
        file.close();
        return data;
    }
    error = QStringLiteral("can't read %1 file %2").arg(kind, path);
    return QByteArray();
}

QSslCertificate* loadCertificate(const QString& path, QString& error)
{
    QString readError;
    const QByteArray pem = readSslFile(path, QStringLiteral("certificate"), readError);
    if (!readError.isEmpty()) {
        error = readError;
        return nullptr;
    }
    QSslCertificate certificate(pem, QSsl::Pem);
    if (certificate.isNull()) {
        error = QStringLiteral("can't load certificate from %1 file, is it corrupted?").arg(path);
        return nullptr;
    }
    return new QSslCertificate(certificate);
}

QSslKey* loadPrivateKey(const QString& path, const QByteArray& passPhrase, QString& error)
{
    QString readError;
    const QByteArray pem = readSslFile(path, QStringLiteral("private key"), readError);
    if (!readError.isEmpty()) {
        error = readError;
        return nullptr;
    }
    QSslKey key(pem, QSsl::Rsa, QSsl::Pem, QSsl::PrivateKey, passPhrase);
    if (!key.isNull())
        return new QSslKey(key);
    // A key that reads fine as another algorithm is not corrupt: say what is wrong with it.
    for (QSsl::KeyAlgorithm other : {QSsl::Ec, QSsl::Dsa}) {
        if (!QSslKey(pem, other, QSsl::Pem, QSsl::PrivateKey, passPhrase).isNull()) {
            error = QStringLiteral("can't load private key from %1 file: unsupported key type").arg(path);
            return nullptr;
        }
    }
    error = QStringLiteral("can't load private key from %1 file, is it corrupted or passphrase is wrong?").arg(path);
    return nullptr;
}
