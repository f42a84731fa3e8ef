#pragma once

#include <QString>

// The SNMPv3 user of the trap receiver, as a trap subscription names it; pass phrases in their
// stored form.
struct SSnmpTrapCredential
{
    QString userName;
    qint32 authProtocol = 0;  // 0 MD5, 1 SHA, other none
    QString authPassphrase;
    qint32 privProtocol = 0;  // 1 DES, 2 AES-128, other none
    QString privPassphrase;
};
