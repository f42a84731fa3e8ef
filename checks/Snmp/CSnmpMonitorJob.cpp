#include "CSnmpMonitorJob.h"

#include "zam_monitor_helpers.h"

int CSnmpMonitorJob::onError(const char* text, void* session, void* sessionHandle, int code)
{
    return onMonError(m_monitor, text, session, sessionHandle, code);
}

int CSnmpMonitorJob::onMonError(stZamMonitor* mon, const char* text, void* session, void* sessionHandle, int code)
{
    if (!mon)
        return code;
    const QByteArray reason = prepareFailReason(text, session, sessionHandle).toUtf8();
    setMonFailReason(mon, reason.constData());
    setMonFailure(mon);
    return code;
}

int CSnmpMonitorJob::validate(int found)
{
    if (port < 1 || port > 65535)
        return onError("Port is out of range", nullptr, nullptr, 1);
    if (version < 0 || version > 2)
        return onError("Version is out of range", nullptr, nullptr, 1);
    ++version;
    if (version < 3)
        return (found & kCommunityBit) ? 0 : onError("Community string was not specified", nullptr, nullptr, 1);
    if (!(found & kUserBit))
        return onError("Security name was not specified", nullptr, nullptr, 1);
    if (authPass.empty())
        return 0;
    if (!(found & kAuthPassBit))
        return onError("Authentication password was not specified", nullptr, nullptr, 1);
    if (!(found & kAuthModeBit))
        return onError("Authentication mode was not specified", nullptr, nullptr, 1);
    if (!(found & kPrivProtocolBit))
        return onError("Privacy protocol was not specified", nullptr, nullptr, 1);
    if (!privPass.empty() && !(found & kPrivPassBit))
        return onError("Encryption password was not specified", nullptr, nullptr, 1);
    return 0;
}
