#pragma once
// Numbers from SNMP values, kept exact for 64-bit counters (long double holds every 64-bit
// integer), and the checked step from a scaled value to the monitor's 64-bit value.
// Pure functions: no state, no locks; they read only what they are given.

#include <QString>
#include <cstdint>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

enum class SnmpNumberKind {
    Number,          // `value` set
    Unsigned32,      // Counter32, Gauge32 or TimeTicks: `value` set
    Text,            // OCTET STRING: read it through snmpTextToNumber
    NoSuchObject,
    NoSuchInstance,
    Other,           // any other type (or a value too short for its type)
};

// The variable's number for the numeric types.
SnmpNumberKind snmpVarNumber(const netsnmp_variable_list* var, long double& value);

// A number written as text, double quotes removed and blanks around it ignored (C locale).
// False for anything else.
bool snmpTextToNumber(const QString& text, long double& value);

// value ÷ divisor truncated toward zero. False (out of range, or not a number) when it does not
// fit a signed 64-bit integer; `reason` then holds the text for the monitor.
bool snmpScaledValue(long double value, double divisor, int64_t& out, QString& reason);
