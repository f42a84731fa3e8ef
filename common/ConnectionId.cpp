#include "ConnectionId.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSslCertificate>

namespace {

// Certificates are small; anything far larger is not one and is not read whole.
constexpr qint64 kMaxCertificateFileSize = 4 * 1024 * 1024;

bool readCertificateFile(const QString& path, QByteArray& data, QString& error)
{
    const QString kind = QStringLiteral("certificate");
    if (!QFileInfo::exists(path)) {
        error = QStringLiteral("%1 file %2 doesn't exist").arg(kind, path);
        return false;
    }
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("can't read %1 file %2").arg(kind, path);
        return false;
    }
    // In steps: one read of the bound would allocate 4 MiB for a 2 KiB certificate, and
    // glibc, once it hands such a block back, keeps up to twice its size of freed memory in
    // every arena for the life of the process.
    constexpr qint64 kStep = 64 * 1024;
    data.clear();
    while (data.size() <= kMaxCertificateFileSize) {
        const QByteArray chunk = file.read(kStep);
        if (chunk.isEmpty())
            break;
        data += chunk;
    }
    return true;
}

}

bool connectionIdFromCertificate(const QString& certificatePath, QString& out)
{
    QByteArray data;
    QString error;
    if (!readCertificateFile(certificatePath, data, error)) {
        out = error;
        return false;
    }
    const QSslCertificate certificate(data, QSsl::Pem);
    if (data.size() > kMaxCertificateFileSize || certificate.isNull()) {
        out = QStringLiteral("can't load certificate from %1 file, is it corrupted?").arg(certificatePath);
        return false;
    }
    out = QString::fromLatin1(QCryptographicHash::hash(certificate.toPem(), QCryptographicHash::Md5).toHex());
    return true;
}
