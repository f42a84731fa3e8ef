#include "SnmpUsmUsers.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace snmpusm {

namespace {

std::atomic<int> g_replaced{0};
// Unlinked users, kept for the life of the process (see the header).
std::vector<usmUser*>& retiredUsers()
{
    static std::vector<usmUser*>* users = new std::vector<usmUser*>;
    return *users;
}

bool sameProtocol(const oid* a, size_t aLen, const oid* b, size_t bLen)
{
    if (!a || !b)
        return a == b;
    return snmp_oid_compare(a, aLen, b, bLen) == 0;
}

// Net-SNMP may extend a localised key for longer ciphers; the common part decides.
bool sameKey(const u_char* stored, size_t storedLen, const std::vector<u_char>& wanted)
{
    if (!stored || storedLen == 0 || wanted.empty())
        return false;
    const size_t n = storedLen < wanted.size() ? storedLen : wanted.size();
    return std::memcmp(stored, wanted.data(), n) == 0;
}

bool kul(const netsnmp_session* s, const u_char* ku, size_t kuLen, std::vector<u_char>& out)
{
    u_char buffer[SNMP_MAXBUF_SMALL];
    size_t length = sizeof buffer;
    if (generate_kul(s->securityAuthProto, static_cast<u_int>(s->securityAuthProtoLen), s->securityEngineID,
                     s->securityEngineIDLen, ku, kuLen, buffer, &length)
        != SNMPERR_SUCCESS)
        return false;
    out.assign(buffer, buffer + length);
    return true;
}

}  // namespace

bool localizeKeys(const netsnmp_session* session, LocalizedKeys& keys)
{
    keys = LocalizedKeys();
    if (!session || session->securityEngineIDLen == 0)
        return false;
    if (session->securityLevel >= SNMP_SEC_LEVEL_AUTHNOPRIV) {
        if (!kul(session, session->securityAuthKey, session->securityAuthKeyLen, keys.auth))
            return false;
    }
    if (session->securityLevel >= SNMP_SEC_LEVEL_AUTHPRIV) {
        if (!kul(session, session->securityPrivKey, session->securityPrivKeyLen, keys.priv))
            return false;
    }
    return true;
}

void ensureDiscoveryUser()
{
    if (usm_get_user(nullptr, 0, const_cast<char*>("")))
        return;
    auto* user = static_cast<usmUser*>(std::calloc(1, sizeof(usmUser)));
    if (!user)
        return;
    user->name = strdup("");
    user->secName = strdup("");
    user->authProtocol = snmp_duplicate_objid(usmNoAuthProtocol, 10);
    user->authProtocolLen = 10;
    user->privProtocol = snmp_duplicate_objid(usmNoPrivProtocol, 10);
    user->privProtocolLen = 10;
    usm_add_user(user);
}

int syncUser(netsnmp_session* session, const LocalizedKeys& keys)
{
    if (!session || session->securityEngineIDLen == 0)
        return SNMPERR_GENERR;
    usmUser* user = usm_get_user(session->securityEngineID, session->securityEngineIDLen, session->securityName);
    if (user) {
        bool same = true;
        if (session->securityLevel >= SNMP_SEC_LEVEL_AUTHNOPRIV) {
            same = sameProtocol(user->authProtocol, user->authProtocolLen, session->securityAuthProto,
                                session->securityAuthProtoLen)
                && sameKey(user->authKey, user->authKeyLen, keys.auth);
        }
        if (same && session->securityLevel >= SNMP_SEC_LEVEL_AUTHPRIV) {
            same = sameProtocol(user->privProtocol, user->privProtocolLen, session->securityPrivProto,
                                session->securityPrivProtoLen)
                && sameKey(user->privKey, user->privKeyLen, keys.priv);
        }
        if (same)
            return SNMPERR_SUCCESS;
        usm_remove_user(user);
        retiredUsers().push_back(user);
        g_replaced.fetch_add(1);
    }
    session->flags &= ~SNMP_FLAGS_USER_CREATED;
    return usm_create_user_from_session(session);
}

int replacedUsers()
{
    return g_replaced.load();
}

}  // namespace snmpusm
