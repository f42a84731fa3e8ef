#include "SnmpValueNumber.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace {

bool holds(const netsnmp_variable_list* var, size_t size)
{
    return var->val.string && var->val_len >= size;
}

}  // namespace

SnmpNumberKind snmpVarNumber(const netsnmp_variable_list* var, long double& value)
{
    value = 0;
    if (!var)
        return SnmpNumberKind::Other;
    switch (var->type) {
    case ASN_INTEGER:
        if (!holds(var, sizeof(long)))
            return SnmpNumberKind::Other;
        value = static_cast<long double>(*var->val.integer);
        return SnmpNumberKind::Number;
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
        if (!holds(var, sizeof(long)))
            return SnmpNumberKind::Other;
        value = static_cast<long double>(static_cast<uint32_t>(*var->val.integer));
        return SnmpNumberKind::Unsigned32;
    case ASN_COUNTER64: {
        if (!holds(var, sizeof(counter64)))
            return SnmpNumberKind::Other;
        const uint64_t high = static_cast<uint32_t>(var->val.counter64->high);
        const uint64_t low = static_cast<uint32_t>(var->val.counter64->low);
        value = static_cast<long double>((high << 32) | low);
        return SnmpNumberKind::Number;
    }
#ifdef NETSNMP_WITH_OPAQUE_SPECIAL_TYPES
    case ASN_OPAQUE_FLOAT:
#endif
    case ASN_FLOAT:
        if (!holds(var, sizeof(float)))
            return SnmpNumberKind::Other;
        value = *var->val.floatVal;
        return SnmpNumberKind::Number;
#ifdef NETSNMP_WITH_OPAQUE_SPECIAL_TYPES
    case ASN_OPAQUE_DOUBLE:
#endif
    case ASN_DOUBLE:
        if (!holds(var, sizeof(double)))
            return SnmpNumberKind::Other;
        value = *var->val.doubleVal;
        return SnmpNumberKind::Number;
    case ASN_OCTET_STR:
        return SnmpNumberKind::Text;
    case SNMP_NOSUCHOBJECT:
        return SnmpNumberKind::NoSuchObject;
    case SNMP_NOSUCHINSTANCE:
        return SnmpNumberKind::NoSuchInstance;
    default:
        return SnmpNumberKind::Other;
    }
}

bool snmpTextToNumber(const QString& text, long double& value)
{
    QString plain = text;
    plain.remove(QLatin1Char('"'));
    const QByteArray bytes = plain.trimmed().toLatin1();
    if (bytes.isEmpty() || plain.trimmed().size() != bytes.size())
        return false;
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    char* end = nullptr;
    const long double parsed = strtold_l(bytes.constData(), &end, cLocale);
    if (end == bytes.constData() || *end != '\0' || std::isnan(parsed))
        return false;
    value = parsed;
    return true;
}

bool snmpScaledValue(long double value, double divisor, int64_t& out, QString& reason)
{
    const long double scaled = value / static_cast<long double>(divisor);
    constexpr long double kLimit = 9223372036854775808.0L;  // 2^63
    if (!(scaled < kLimit && scaled >= -kLimit)) {
        char number[64];
        std::snprintf(number, sizeof number, "%g", static_cast<double>(scaled));
        reason = QStringLiteral("The value %1 exceeds signed large integer range.  Please use ' Divide returned value "
                                "by' property to normalize it")
                     .arg(QString::fromLatin1(number));
        out = 0;
        return false;
    }
    out = static_cast<int64_t>(scaled);
    return true;
}
