#pragma once
// The per-monitor object of an SNMP check: the parsed common SNMP settings and the single
// place through which the SNMP engine reports failures (onError).
// Threads: a job belongs to one monitor, and a monitor is polled by one task thread at a time;
// no lock. Ownership: kept in the monitor's plug-in data slot, deleted through the virtual
// destructor by the type's invalidate handler.

#include "zam_settings.h"

#include <QString>
#include <string>
#include <vector>

struct stZamMonitorLib;
struct stZamMonitor;
struct stZamAction;

class CSnmpJob
{
public:
    // Bits of the common settings rows in pluginParseSettings' `found`; the types' own rows
    // use kFirstTypeBit and above.
    enum CommonBits {
        kPortBit = 1 << 0,
        kVersionBit = 1 << 1,
        kCommunityBit = 1 << 2,
        kUserBit = 1 << 3,
        kAuthModeBit = 1 << 4,
        kAuthPassBit = 1 << 5,
        kPrivProtocolBit = 1 << 6,
        kPrivPassBit = 1 << 7,
        kFirstTypeBit = 1 << 8,
    };

    CSnmpJob() = default;
    virtual ~CSnmpJob() = default;
    CSnmpJob(const CSnmpJob&) = delete;
    CSnmpJob& operator=(const CSnmpJob&) = delete;

    virtual stZamMonitor* monitor() const { return nullptr; }
    virtual stZamAction* action() const { return nullptr; }
    // Reports a failure; answers `code`. The base only answers.
    virtual int onError(const char* text, void* session, void* sessionHandle, int code);

    // The text, then ": " and Net-SNMP's error text of the handle (or else of the session
    // record) when a session is given and the library has one.
    static QString prepareFailReason(const char* text, void* session, void* sessionHandle);
    static void freeNetsnmpBuf(void* buffer, bool useFree);

    // The eight common rows, targeting this job's fields (no terminator).
    void appendCommonOptions(std::vector<PluginOption>& options);

    std::string peer;     // "host:port" of the current session; the session's peer name
    int port = 161;
    int version = 0;      // the "SNMP Version" setting 0..2 until validation, then 1..3
    std::string community;
    int authMode = 0;     // 0 MD5, 1 SHA1, 2 none
    int privProtocol = 1; // 0 none, 1 DES, 2 AES
    std::string securityName;
    std::string authPass;
    std::string privPass;
    std::string oid;
    std::string oid2;
};
