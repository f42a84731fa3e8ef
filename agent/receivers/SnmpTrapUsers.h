#pragma once
#include "SSnmpTrapCredential.h"

#include <QByteArray>
#include <QHash>

#include <deque>

struct usmUser;

// The localised SNMPv3 users the trap receiver put into Net-SNMP's user list: Net-SNMP finds
// a user by engine ID and name, so each sender engine ID needs its own copy of a subscribed
// user. At most kMaxEngineIdsPerName per name (the oldest goes first), so traps with ever new
// engine IDs cannot grow the list without bound. A name's users are replaced when its
// credential changes. Users are read-only for Net-SNMP's storage: they never reach its files.
// Threads: every call with CPluginManager::snmpSharedMutex() held (the user list is shared
// with the checks); used by the receiver on its connector thread.
class SnmpTrapUsers
{
public:
    static constexpr int kMaxEngineIdsPerName = 1024;

    SnmpTrapUsers() = default;
    SnmpTrapUsers(const SnmpTrapUsers&) = delete;
    SnmpTrapUsers& operator=(const SnmpTrapUsers&) = delete;
    ~SnmpTrapUsers();

    // Makes the user of the name for the engine ID unless the same generation made it.
    void ensure(const QByteArray& engineId, const QByteArray& name, const SSnmpTrapCredential& credential,
                quint64 generation);
    void removeAll();
    int count(const QByteArray& name) const;

private:
    struct Users
    {
        quint64 generation = 0;
        bool usable = false;
        SSnmpTrapCredential credential;
        QByteArray authKu, privKu;
        std::deque<usmUser*> order;   // oldest first
        QHash<QByteArray, usmUser*> byEngineId;
    };
    static bool prepare(Users& users, const SSnmpTrapCredential& credential);
    static usmUser* makeUser(const Users& users, const QByteArray& engineId, const QByteArray& name);
    static void drop(usmUser* user);
    void removeName(Users& users);

    QHash<QByteArray, Users> m_byName;
};
