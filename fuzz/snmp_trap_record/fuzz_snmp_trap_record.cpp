// Trap datagrams as the receiver gets them: Net-SNMP parses the v1/v2c message, the record is
// built from the PDU and every text of it rendered; v3 datagrams go through the plain header
// reader. Any bytes give a record or nothing, never a crash, and the receiver's text cache
// (kept across inputs, as across datagrams) gives the very record the plain build gives.
#include "agent/engine/NetSnmpLibrary.h"
#include "agent/receivers/CSnmpTrap.h"
#include "agent/receivers/SnmpTrapRecordBuilder.h"
#include "agent/receivers/SnmpTrapTextCache.h"
#include "agent/receivers/SnmpV3Header.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <QDataStream>
#include <QRegExp>
#include <QVector>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

QByteArray streamForm(CSnmpTrap* trap)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << CSnmpTrapPtr(trap);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    NetSnmpLibrary::initOnce();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SnmpV3Header header;
    if (SnmpV3Header::read(data, size, &header))
        return 0;
    QVector<u_char> bytes(static_cast<int>(size) + 1);
    std::copy(data, data + size, bytes.begin());
    size_t length = size;
    u_char community[256];
    size_t communityLength = sizeof community;
    long version = 0;
    u_char* pduStart = snmp_comstr_parse(bytes.data(), &length, community, &communityLength, &version);
    if (!pduStart)
        return 0;
    netsnmp_pdu* pdu = snmp_pdu_create(0);
    pdu->version = version;
    pdu->community = static_cast<u_char*>(malloc(communityLength + 1));
    memcpy(pdu->community, community, communityLength);
    pdu->community_len = communityLength;
    if (snmp_pdu_parse(pdu, pduStart, &length) == 0) {
        static SnmpTrapTextCache texts;
        if (streamForm(snmptrap::buildRecord(*pdu, QStringLiteral("127.0.0.1"), &texts))
            != streamForm(snmptrap::buildRecord(*pdu, QStringLiteral("127.0.0.1"))))
            abort();
        std::unique_ptr<CSnmpTrap> trap(snmptrap::buildRecord(*pdu, QStringLiteral("127.0.0.1")));
        if (trap) {
            genericTrapName(trap->trapOid);
            trapReceivedText(trap->trapOid);
            trap->payloadMatches(QRegExp(QStringLiteral("=")), QRegExp(QStringLiteral("x")), kUndefinedTrapEncoding);
            trap->anyPayloadValueMatches(QRegExp(QStringLiteral("^((?!error).)*$")), QStringLiteral("UTF-8"));
            for (const CSnmpTrapPayload& value : trap->payload)
                value.toText(kUndefinedTrapEncoding);
        }
    }
    snmp_free_pdu(pdu);
    return 0;
}
