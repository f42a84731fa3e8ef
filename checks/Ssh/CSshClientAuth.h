#pragma once
// Credentials of one SSH client: the method and what it needs. Plain value type.

#include <QByteArray>

class CSshClientAuth
{
public:
    enum Method { ByPassword = 0, ByPublicKey = 1, ByPublicKeyOrPassword = 2, Invalid = -1 };

    CSshClientAuth() = default;
    CSshClientAuth(int method, const QByteArray& user, const QByteArray& password, const QByteArray& publicKeyPath,
                   const QByteArray& privateKeyPath, const QByteArray& passphrase)
        : method(method >= 0 && method <= 2 ? method : Invalid), user(user), password(password), publicKeyPath(publicKeyPath),
          privateKeyPath(privateKeyPath), passphrase(passphrase)
    {
    }

    // Equal for the purpose of sharing a session: what the method uses is the same.
    bool operator==(const CSshClientAuth& other) const
    {
        if (method != other.method)
            return false;
        switch (method) {
        case ByPassword:
            return user == other.user && password == other.password;
        case ByPublicKey:
            return user == other.user && privateKeyPath == other.privateKeyPath && publicKeyPath == other.publicKeyPath
                   && passphrase == other.passphrase;
        case ByPublicKeyOrPassword:
            return user == other.user && password == other.password && privateKeyPath == other.privateKeyPath
                   && publicKeyPath == other.publicKeyPath && passphrase == other.passphrase;
        default:
            return true;
        }
    }

    void set(const CSshClientAuth& other) { *this = other; }

    int method = Invalid;
    QByteArray user;
    QByteArray password;
    QByteArray publicKeyPath;
    QByteArray privateKeyPath;
    QByteArray passphrase;
};
