#pragma once
#include "SSnmpTrapCredential.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>

// The SNMPv3 users the service subscribed for the trap receiver, by user name, for one
// listening session: the receiver opens the table when it listens and closes (empties) it
// when it stops. A credential that arrives while the table is closed is refused.
// Each change of a name's credential gets a new generation, so the receiver knows to replace
// the users it made from the old one.
// Threads: update from the agent link's thread, lookups from the connector thread; m_mutex
// guards everything (taken after Net-SNMP's shared lock, never before it).
class SnmpTrapCredentials
{
public:
    // False when the receiver is not listening: the credential is dropped.
    bool update(const SSnmpTrapCredential& credential);
    // The credential of the name (its Latin-1 bytes) and its generation; false when unknown.
    bool find(const QByteArray& userName, SSnmpTrapCredential* credential, quint64* generation) const;

    // Latin-1 bytes up to the first zero byte, as names travel in SNMPv3 messages.
    static QByteArray nameBytes(const QString& text);

    void open();
    void close();

private:
    struct Entry
    {
        SSnmpTrapCredential credential;
        quint64 generation = 0;
    };
    mutable QMutex m_mutex;
    bool m_open = false;
    quint64 m_nextGeneration = 1;
    QHash<QByteArray, Entry> m_byName;
};
