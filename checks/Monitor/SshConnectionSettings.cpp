#include "SshConnectionSettings.h"

void SshConnectionSettings::addOptions(std::vector<PluginOption>& options)
{
    options.insert(options.end(), {
        {'i', "Port", 0x1, &port, nullptr, nullptr},
        {'e', "Test Host Key", 0x2, &testHostKey, nullptr, nullptr},
        {'s', " Host Key Fingerprint", 0x4, nullptr, &fingerprint, nullptr},
        {'e', "Authentication Type", 0x8, &method, nullptr, nullptr},
        {'s', " User Name", 0x10, nullptr, &user, nullptr},
        {'p', " Password", 0x20, nullptr, &password, nullptr},
        {'L', " Path to Public Key File", 0x40, nullptr, &publicKey, nullptr},
        {'L', " Path to Private Key File", 0x80, nullptr, &privateKey, nullptr},
        {'p', " Passphrase for Private Key", 0x100, nullptr, &passphrase, nullptr},
    });
}

bool SshConnectionSettings::consistent(int found) const
{
    const bool keys = method == CSshClientAuth::ByPublicKey || method == CSshClientAuth::ByPublicKeyOrPassword;
    const bool usesPassword = method == CSshClientAuth::ByPassword || method == CSshClientAuth::ByPublicKeyOrPassword;
    return ((found & 0x4) || testHostKey != 0) && ((found & 0x20) || !usesPassword) && (!keys || (found & 0x1c0) == 0x1c0);
}

CSshClientAuth SshConnectionSettings::auth() const
{
    return CSshClientAuth(method, QByteArray::fromStdString(user), QByteArray::fromStdString(password),
                          QByteArray::fromStdString(publicKey), QByteArray::fromStdString(privateKey),
                          QByteArray::fromStdString(passphrase));
}
