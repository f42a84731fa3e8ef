#pragma once
#include <QList>
#include <QSslCipher>
#include <QSslSocket>

// TLS socket of the agent link: TLS 1.2 or later, and only TLS 1.2/1.3 ciphers that are not
// on the exclusion list. Everything happens in the constructor; usable on any thread.
class CSecureSocket : public QSslSocket
{
    Q_OBJECT
public:
    explicit CSecureSocket(QObject* parent = nullptr);

    // The rule applied to the default cipher list; kept order, pure.
    static QList<QSslCipher> filterCiphers(const QList<QSslCipher>& ciphers);
};
