#pragma once
#include <QByteArray>

#include <cstddef>

// The plain part of an SNMPv3 message that names its sender: msgAuthoritativeEngineID and
// msgUserName, read before Net-SNMP parses the datagram, so that the localised user it needs
// can be made first. A bounded BER reader: every length is checked against what encloses
// it, and anything that is not a USM message of version 3 is refused.
// Pure function; any thread.
struct SnmpV3Header
{
    QByteArray engineId;
    QByteArray userName;

    static constexpr int kMaxEngineId = 32;
    static constexpr int kMaxUserName = 32;

    // False for anything but a well-formed v3 USM header within size bytes.
    static bool read(const unsigned char* data, size_t size, SnmpV3Header* out);
    // True when the message says it is version 3 (whatever follows): Net-SNMP then takes it
    // through its user-based security, which must run under the shared lock.
    static bool isVersion3(const unsigned char* data, size_t size);
};
