#pragma once
// The identity of an SNMP agent and the credentials a table was read with: two polls share a
// cached table only when both reach the same agent as the same principal.
// Plain value type; no locks.

#include <QtGlobal>
#include <string>

class CSnmpJob;

class CSnmpServer
{
public:
    CSnmpServer() = default;
    explicit CSnmpServer(const CSnmpJob& job);

    // v3 compares user and keys and ignores the community; v1/v2c only the community.
    bool operator==(const CSnmpServer& other) const;
    bool operator!=(const CSnmpServer& other) const { return !(*this == other); }

    std::string peer;
    int port = 0;
    int version = 0;  // 1..3
    std::string community;
    int authMode = 0;
    int privProtocol = 0;
    std::string securityName;
    std::string authPass;
    std::string privPass;
};

// The classic ELF-style hash of a byte string.
uint byteStringHash(const std::string& bytes);
uint qHash(const CSnmpServer& server, uint seed = 0);
