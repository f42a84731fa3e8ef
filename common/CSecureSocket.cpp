#include "CSecureSocket.h"

#include <QSet>
#include <QSslConfiguration>

namespace {
// Built once (thread-safe static initialisation) and only read afterwards.
const QSet<QString>& excludedCiphers()
{
    static const QSet<QString> names{QStringLiteral("RC4-MD5"), QStringLiteral("RC4-SHA"),
                                     QStringLiteral("SEED-SHA")};
    return names;
}
}

QList<QSslCipher> CSecureSocket::filterCiphers(const QList<QSslCipher>& ciphers)
{
    QList<QSslCipher> kept = ciphers;
    for (int i = kept.size() - 1; i >= 0; --i) {
        const QSslCipher& c = kept.at(i);
        const bool modern = c.protocol() == QSsl::TlsV1_2 || c.protocol() == QSsl::TlsV1_3;
        if (!modern || excludedCiphers().contains(c.name()))
            kept.removeAt(i);
    }
    return kept;
}

CSecureSocket::CSecureSocket(QObject* parent) : QSslSocket(parent)
{
    setProtocol(QSsl::TlsV1_2OrLater);
    QSslConfiguration config = sslConfiguration();
    config.setCiphers(filterCiphers(config.ciphers()));
    setSslConfiguration(config);
}
