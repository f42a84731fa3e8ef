#include "CSnmpJob.h"

#include <cstdlib>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

int CSnmpJob::onError(const char*, void*, void*, int code)
{
    return code;
}

QString CSnmpJob::prepareFailReason(const char* text, void* session, void* sessionHandle)
{
    QString reason = QString::fromUtf8(text ? text : "");
    if (!session)
        return reason;
    int libErrno = 0;
    int sysErrno = 0;
    char* libText = nullptr;
    if (sessionHandle)
        snmp_sess_error(sessionHandle, &libErrno, &sysErrno, &libText);
    else
        snmp_error(static_cast<netsnmp_session*>(session), &libErrno, &sysErrno, &libText);
    if (libText && *libText)
        reason += QStringLiteral(": ") + QString::fromUtf8(libText);
    freeNetsnmpBuf(libText, false);
    return reason;
}

void CSnmpJob::freeNetsnmpBuf(void* buffer, bool useFree)
{
    if (!buffer)
        return;
    if (useFree)
        std::free(buffer);
    else
        netsnmp_free(buffer);
}

void CSnmpJob::appendCommonOptions(std::vector<PluginOption>& options)
{
    options.push_back({'i', "Port", kPortBit, &port, nullptr, nullptr});
    options.push_back({'e', "SNMP Version", kVersionBit, &version, nullptr, nullptr});
    options.push_back({'s', " Community String", kCommunityBit, nullptr, &community, nullptr});
    options.push_back({'s', " SNMP V3 User", kUserBit, nullptr, &securityName, nullptr});
    options.push_back({'e', " SNMP V3 Authentication Mode", kAuthModeBit, &authMode, nullptr, nullptr});
    options.push_back({'p', " SNMP V3 Password", kAuthPassBit, nullptr, &authPass, nullptr});
    options.push_back({'e', " SNMP V3 Privacy Protocol", kPrivProtocolBit, &privProtocol, nullptr, nullptr});
    options.push_back({'p', " SNMP V3 Encryption Key", kPrivPassBit, nullptr, &privPass, nullptr});
}
