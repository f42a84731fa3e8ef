#pragma once
#include "CSnmpTrap.h"

#include <QByteArray>
#include <QString>

class SnmpTrapTextCache;
struct snmp_pdu;
struct variable_list;

// Turns a notification PDU that Net-SNMP parsed into the daemon's trap record. Pure
// functions of their arguments; any thread.
//
// v1 traps get their trap OID as RFC 3584 gives it; v2c and v3 notifications take it from
// snmpTrapOID.0 and the time stamp from sysUpTime.0, and these two bindings are not part of
// the payload, so one filter reads a trap alike in every version. The enterprise of a v2c or
// v3 notification is the value of snmpTrapEnterprise.0, when present.
namespace snmptrap {

// Trap-v1, Trap-v2 and Inform are delivered; every other PDU type is not a notification.
bool isNotification(int command);
// "." and the dotted components; empty for no components.
QString oidText(const unsigned long* name, size_t length);
// A binding's value as the record stores it: decimal numbers, dotted IpAddress, OIDs with a
// leading ".", TimeTicks in hundredths, "<null>", raw bytes for strings and the rest.
QByteArray valueBytes(const variable_list& binding);
// The record; sender is the source address without port. Null for a PDU that is not a
// notification. With texts, the OIDs, the community and the user name come from that cache
// (the same texts, shared).
CSnmpTrap* buildRecord(const snmp_pdu& pdu, const QString& sender, SnmpTrapTextCache* texts = nullptr);

} // namespace snmptrap
