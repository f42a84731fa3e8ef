#pragma once
// What a cached table is filed under: the agent and credentials, the table OID and the columns
// read. Plain value type; no locks.

#include "CSnmpServer.h"

#include <QHash>
#include <QString>
#include <QStringList>

struct CSnmpTableCacheKey {
    CSnmpServer server;
    QString table;
    QStringList columns;

    bool operator==(const CSnmpTableCacheKey& other) const
    {
        return server == other.server && table == other.table && columns == other.columns;
    }
};

inline uint qHash(const CSnmpTableCacheKey& key, uint seed = 0)
{
    uint h = qHash(key.server, seed) ^ qHash(key.table, seed);
    for (const QString& column : key.columns)
        h ^= qHash(column, seed);
    return h;
}
