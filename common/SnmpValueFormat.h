#pragma once
// Display text of Net-SNMP variables, with the MIB's enumeration labels, display hints and
// units, and the unit texts and scale factors of the traffic settings. Header-only so that the
// checks library and the daemon build the same code: the daemon formats for the library
// through its host service, where MIB loading and printing options live in one place.
// Stateless functions; the caller holds whatever lock guards the MIB tree (the daemon's read
// lock) because printing reads Net-SNMP's global tree and output options.

#include <QString>
#include <QTextCodec>
#include <cstdint>
#include <cstring>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace snmpformat {

inline QString decodeBytes(const char* bytes, int length, bool localEncoding)
{
    if (localEncoding)
        return QString::fromLocal8Bit(bytes, length);
    return QString::fromUtf8(bytes, length);
}

}  // namespace snmpformat

// Non-zero with `text` set; 0 when Net-SNMP cannot print the value (`text` unchanged).
inline int convertNetSnmpVarValueIntoPrintable(const variable_list* var, const enum_list* enums, const char* hint,
                                               const char* units, bool localEncoding, QString& text)
{
    if (!var)
        return 0;
    // "255a" is plain text: the bytes as they are, quoted like Net-SNMP's own string output.
    if (var->type == ASN_OCTET_STR && hint && std::strcmp(hint, "255a") == 0) {
        const char* bytes = var->val.string ? reinterpret_cast<const char*>(var->val.string) : "";
        const int length = var->val.string ? static_cast<int>(var->val_len) : 0;
        text = QLatin1Char('"') + snmpformat::decodeBytes(bytes, length, localEncoding) + QLatin1Char('"');
        return 1;
    }
    u_char* buffer = nullptr;
    size_t bufferLength = 0;
    size_t outLength = 0;
    const int rc = sprint_realloc_by_type(&buffer, &bufferLength, &outLength, 1, var, const_cast<enum_list*>(enums),
                                          hint, units);
    if (rc == 0 || !buffer) {
        if (buffer)
            netsnmp_free(buffer);
        return 0;
    }
    text = snmpformat::decodeBytes(reinterpret_cast<const char*>(buffer), static_cast<int>(outLength), localEncoding);
    netsnmp_free(buffer);
    return rc;
}

inline int convertNetSnmpVarValueIntoPrintable(const variable_list* var, const char* hint, bool localEncoding,
                                               QString& text)
{
    return convertNetSnmpVarValueIntoPrintable(var, nullptr, hint, nullptr, localEncoding, text);
}

// As above, with the enumeration labels and units of the variable's MIB node (when the MIB
// knows it); a non-empty `hint` wins over the node's own display hint.
inline int convertNetSnmpVarWithMib(const variable_list* var, const char* hint, bool localEncoding, QString& text)
{
    if (!var)
        return 0;
    const tree* node = var->name ? get_tree(var->name, var->name_length, get_tree_head()) : nullptr;
    // get_tree answers the deepest known parent; only the object itself (or its instance) counts.
    const bool exact = node && node->type != TYPE_OTHER && node->parent;
    const char* useHint = hint && *hint ? hint : (exact ? node->hint : nullptr);
    return convertNetSnmpVarValueIntoPrintable(var, exact ? node->enums : nullptr, useHint,
                                               exact ? node->units : nullptr, localEncoding, text);
}

// An integer printed as the MIB describes the object; empty for an OID the MIB does not know.
inline QString netSnmpParsedSnmpValue(const QString& oidText, qint64 value)
{
    oid name[MAX_OID_LEN];
    size_t length = MAX_OID_LEN;
    const QByteArray latin = oidText.toLatin1();
    if (!read_objid(latin.constData(), name, &length))
        return QString();
    tree* node = get_tree(name, length, get_tree_head());
    int type = node ? mib_to_asn_type(node->type) : -1;
    const bool sysUpTime = oidText.contains(QLatin1String(".1.3.6.1.2.1.1.3.0"));
    // get_tree falls back to the nearest known parent, which is no description of the object.
    if (!node || (node->type == TYPE_OTHER && !sysUpTime))
        return QString();
    if ((type < 0 || type == 255) && sysUpTime)
        type = ASN_TIMETICKS;
    variable_list var;
    std::memset(&var, 0, sizeof var);
    var.name = name;
    var.name_length = length;
    var.type = static_cast<u_char>(type);
    long asLong = static_cast<long>(value);
    counter64 as64;
    as64.high = static_cast<u_long>(static_cast<quint64>(value) >> 32);
    as64.low = static_cast<u_long>(static_cast<quint64>(value) & 0xFFFFFFFFu);
    if (type == ASN_INTEGER || type == ASN_COUNTER || type == ASN_GAUGE || type == ASN_TIMETICKS) {
        var.val.integer = &asLong;
        var.val_len = sizeof asLong;
    } else if (type == ASN_COUNTER64) {
        var.val.counter64 = &as64;
        var.val_len = sizeof as64;
    } else {
        return QString::number(value);
    }
    QString text;
    if (!convertNetSnmpVarValueIntoPrintable(&var, node->enums, node->hint, node->units, false, text))
        return QString::number(value);
    if (node->enums)
        text += QStringLiteral(" (%1)").arg(value);
    return text;
}

// Unit text of "Show Traffic Speed as" and the factor from kbit/s.
inline const char* getTrafficSpeedMeasureUnitAndScaling(int bandwidth, int showAs, double* factor)
{
    double f = 1;
    const char* unit = " kbit/s";
    if (showAs == 0) {
        f = 100.0 / (bandwidth <= 0 ? 1 : bandwidth);
        unit = " %";
    } else if (showAs == 2) {
        f = 0.001;
        unit = " Mbit/s";
    }
    if (factor)
        *factor = f;
    return unit;
}

// Unit text of "Show Traffic Volume as" and the factor from bytes.
inline const char* getTrafficVolumeMeasureUnitAndScaling(int showAs, double* factor)
{
    double f = 0.001;
    const char* unit = " KB";
    if (showAs == 2) {
        f = 0.000001;
        unit = " MB";
    } else if (showAs == 3) {
        f = 0.000000001;
        unit = " GB";
    }
    if (factor)
        *factor = f;
    return unit;
}
