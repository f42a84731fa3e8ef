#include "CSnmpServer.h"

#include "CSnmpJob.h"

CSnmpServer::CSnmpServer(const CSnmpJob& job)
    : peer(job.peer),
      port(job.port),
      version(job.version),
      community(job.community),
      authMode(job.authMode),
      privProtocol(job.privProtocol),
      securityName(job.securityName),
      authPass(job.authPass),
      privPass(job.privPass)
{
}

bool CSnmpServer::operator==(const CSnmpServer& other) const
{
    if (version != other.version || peer != other.peer || port != other.port)
        return false;
    if (version == 3)
        return authMode == other.authMode && privProtocol == other.privProtocol && authPass == other.authPass
            && privPass == other.privPass && securityName == other.securityName;
    return community == other.community;
}

uint byteStringHash(const std::string& bytes)
{
    uint h = 0;
    for (unsigned char c : bytes) {
        h = (h << 4) + c;
        h = (h ^ ((h >> 23) & 0x1E0u)) & 0x0FFFFFFFu;
    }
    return h;
}

uint qHash(const CSnmpServer& server, uint)
{
    uint h = static_cast<uint>(server.version);
    if (server.version == 3)
        h ^= static_cast<uint>(server.authMode) ^ static_cast<uint>(server.privProtocol) ^ byteStringHash(server.authPass)
            ^ byteStringHash(server.privPass) ^ byteStringHash(server.securityName);
    else
        h ^= byteStringHash(server.community);
    return h ^ byteStringHash(server.peer) ^ static_cast<uint>(server.port);
}
