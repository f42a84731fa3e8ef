#include "SslFileLoaders.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslKey>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

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

bool keyMatchesCertificate(const QSslCertificate& certificate, const QSslKey& key)
{
    const QByteArray certPem = certificate.toPem();
    const QByteArray keyPem = key.toPem();
    BIO* certBio = BIO_new_mem_buf(certPem.constData(), certPem.size());
    BIO* keyBio = BIO_new_mem_buf(keyPem.constData(), keyPem.size());
    X509* x509 = certBio ? PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr) : nullptr;
    // Empty pass phrase: the key is written unencrypted, and no prompt may ever be shown.
    EVP_PKEY* pkey = keyBio ? PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, const_cast<char*>("")) : nullptr;
    const bool match = x509 && pkey && X509_check_private_key(x509, pkey) == 1;
    EVP_PKEY_free(pkey);
    X509_free(x509);
    BIO_free(keyBio);
    BIO_free(certBio);
    return match;
}

QString keyMismatchText(const QString& keyPath, const QString& certificatePath)
{
    return QStringLiteral("private key file %1 does not match certificate file %2").arg(keyPath, certificatePath);
}
