#include "SnmpTrapUsers.h"

#include "common/PasswordText.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstring>

namespace {

struct Protocols
{
    const oid* auth = nullptr;
    size_t authLength = 0;
    const oid* priv = nullptr;
    size_t privLength = 0;
};

Protocols protocolsOf(const SSnmpTrapCredential& credential)
{
    Protocols p;
    if (credential.authProtocol == 0) {
        p.auth = usmHMACMD5AuthProtocol;
        p.authLength = OID_LENGTH(usmHMACMD5AuthProtocol);
    } else if (credential.authProtocol == 1) {
        p.auth = usmHMACSHA1AuthProtocol;
        p.authLength = OID_LENGTH(usmHMACSHA1AuthProtocol);
    }
    if (p.auth && credential.privProtocol == 1) {
        p.priv = usmDESPrivProtocol;
        p.privLength = OID_LENGTH(usmDESPrivProtocol);
    } else if (p.auth && credential.privProtocol == 2) {
        p.priv = usmAESPrivProtocol;
        p.privLength = OID_LENGTH(usmAESPrivProtocol);
    }
    return p;
}

// The master key of a stored pass phrase; false when Net-SNMP refuses the phrase (too short).
bool masterKey(const Protocols& p, const QString& stored, QByteArray* key)
{
    QString phrase;
    decodePasswordText(stored, &phrase);
    QByteArray bytes = phrase.toLatin1();
    const int zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    u_char ku[SNMP_MAXBUF_SMALL];
    size_t kuLength = sizeof ku;
    if (generate_Ku(p.auth, static_cast<u_int>(p.authLength), reinterpret_cast<const u_char*>(bytes.constData()),
                    static_cast<size_t>(bytes.size()), ku, &kuLength) != SNMPERR_SUCCESS)
        return false;
    *key = QByteArray(reinterpret_cast<const char*>(ku), static_cast<int>(kuLength));
    return true;
}

bool localisedKey(const Protocols& p, const QByteArray& engineId, const QByteArray& ku, QByteArray* key)
{
    u_char kul[SNMP_MAXBUF_SMALL];
    size_t kulLength = sizeof kul;
    if (generate_kul(p.auth, static_cast<u_int>(p.authLength), reinterpret_cast<const u_char*>(engineId.constData()),
                     static_cast<size_t>(engineId.size()), reinterpret_cast<const u_char*>(ku.constData()),
                     static_cast<size_t>(ku.size()), kul, &kulLength) != SNMPERR_SUCCESS)
        return false;
    *key = QByteArray(reinterpret_cast<const char*>(kul), static_cast<int>(kulLength));
    return true;
}

u_char* copyBytes(const QByteArray& bytes)
{
    auto* p = static_cast<u_char*>(malloc(static_cast<size_t>(qMax(1, bytes.size()))));
    if (p)
        memcpy(p, bytes.constData(), static_cast<size_t>(bytes.size()));
    return p;
}

} // namespace

bool SnmpTrapUsers::prepare(Users& users, const SSnmpTrapCredential& credential)
{
    const Protocols p = protocolsOf(credential);
    users.credential = credential;
    if (p.auth && !masterKey(p, credential.authPassphrase, &users.authKu))
        return false;
    if (p.priv && !masterKey(p, credential.privPassphrase, &users.privKu))
        return false;
    return true;
}

usmUser* SnmpTrapUsers::makeUser(const Users& users, const QByteArray& engineId, const QByteArray& name)
{
    const Protocols p = protocolsOf(users.credential);
    QByteArray authKey, privKey;
    if (p.auth && !localisedKey(p, engineId, users.authKu, &authKey))
        return nullptr;
    if (p.priv) {
        if (!localisedKey(p, engineId, users.privKu, &privKey))
            return nullptr;
        // DES keeps its pre-IV after the key: without it inform answers cannot be encrypted.
        int length = sc_get_proper_priv_length(p.priv, static_cast<u_int>(p.privLength));
        if (p.priv == usmDESPrivProtocol)
            length *= 2;
        if (length <= 0 || privKey.size() < length)
            return nullptr;
        privKey.truncate(length);
    }

    usmUser* user = usm_create_user();
    if (!user)
        return nullptr;
    user->engineID = copyBytes(engineId);
    user->engineIDLen = static_cast<size_t>(engineId.size());
    user->name = strdup(name.constData());
    user->secName = strdup(name.constData());
    if (p.auth) {
        SNMP_FREE(user->authProtocol);
        user->authProtocol = snmp_duplicate_objid(p.auth, p.authLength);
        user->authProtocolLen = p.authLength;
        user->authKey = copyBytes(authKey);
        user->authKeyLen = static_cast<size_t>(authKey.size());
    }
    if (p.priv) {
        SNMP_FREE(user->privProtocol);
        user->privProtocol = snmp_duplicate_objid(p.priv, p.privLength);
        user->privProtocolLen = p.privLength;
        user->privKey = copyBytes(privKey);
        user->privKeyLen = static_cast<size_t>(privKey.size());
    }
    user->userStorageType = ST_READONLY;
    user->userStatus = RS_ACTIVE;
    if (!user->engineID || !user->name || !user->secName || (p.auth && !user->authKey) || (p.priv && !user->privKey)) {
        usm_free_user(user);
        return nullptr;
    }
    usm_add_user(user);
    return user;
}

SnmpTrapUsers::~SnmpTrapUsers()
{
    // The owner removes them under the shared lock before; nothing may be left in the list.
    Q_ASSERT(m_byName.isEmpty());
}

void SnmpTrapUsers::drop(usmUser* user)
{
    usm_remove_user(user);
    usm_free_user(user);
}

void SnmpTrapUsers::removeName(Users& users)
{
    for (usmUser* user : users.order)
        drop(user);
    users.order.clear();
    users.byEngineId.clear();
}

void SnmpTrapUsers::ensure(const QByteArray& engineId, const QByteArray& name, const SSnmpTrapCredential& credential,
                           quint64 generation)
{
    if (engineId.isEmpty() || name.isEmpty())
        return;
    Users& users = m_byName[name];
    if (users.generation != generation) {
        removeName(users);
        users.generation = generation;
        // The master keys are the costly part; once per credential, not per engine ID.
        users.usable = prepare(users, credential);
    }
    if (!users.usable || users.byEngineId.contains(engineId))
        return;
    if (static_cast<int>(users.order.size()) >= kMaxEngineIdsPerName) {
        usmUser* oldest = users.order.front();
        users.order.pop_front();
        users.byEngineId.remove(QByteArray(reinterpret_cast<const char*>(oldest->engineID),
                                           static_cast<int>(oldest->engineIDLen)));
        drop(oldest);
    }
    // A phrase Net-SNMP refuses makes no user; the sender's messages then fail authentication.
    if (usmUser* user = makeUser(users, engineId, name)) {
        users.byEngineId.insert(engineId, user);
        users.order.push_back(user);
    }
}

void SnmpTrapUsers::removeAll()
{
    for (Users& users : m_byName)
        removeName(users);
    m_byName.clear();
}

int SnmpTrapUsers::count(const QByteArray& name) const
{
    auto it = m_byName.constFind(name);
    return it == m_byName.constEnd() ? 0 : static_cast<int>(it->order.size());
}
