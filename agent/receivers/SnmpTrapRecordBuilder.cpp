#include "SnmpTrapRecordBuilder.h"

#include "SnmpTrapTextCache.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace snmptrap {

namespace {

constexpr int kMaxRawValue = 65536;
const oid kSysUpTime0[] = {1, 3, 6, 1, 2, 1, 1, 3, 0};
const oid kSnmpTrapOid0[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};
const oid kSnmpTrapEnterprise0[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 3, 0};

template <size_t N>
bool isOid(const variable_list& v, const oid (&wanted)[N])
{
    return v.name && snmp_oid_compare(v.name, v.name_length, wanted, N) == 0;
}

QString objidValueText(const variable_list& v, SnmpTrapTextCache* texts)
{
    if (v.type != ASN_OBJECT_ID || !v.val.objid)
        return QString();
    const size_t length = v.val_len / sizeof(oid);
    return texts ? texts->oidText(v.val.objid, length) : oidText(v.val.objid, length);
}

QString nameText(const variable_list& v, SnmpTrapTextCache* texts)
{
    return texts ? texts->oidText(v.name, v.name_length) : oidText(v.name, v.name_length);
}

} // namespace

bool isNotification(int command)
{
    return command == SNMP_MSG_TRAP || command == SNMP_MSG_TRAP2 || command == SNMP_MSG_INFORM;
}

QString oidText(const unsigned long* name, size_t length)
{
    if (!name)
        return QString();
    // Digits written backwards into a stack buffer, one conversion at the end.
    char small[512];
    QByteArray large;
    const size_t most = length * 21;   // '.' and up to 20 digits a component
    char* out = small;
    if (most > sizeof small) {
        large.resize(static_cast<int>(most));
        out = large.data();
    }
    size_t at = 0;
    for (size_t i = 0; i < length; ++i) {
        out[at++] = '.';
        char digits[20];
        int n = 0;
        unsigned long v = name[i];
        do {
            digits[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v != 0);
        while (n > 0)
            out[at++] = digits[--n];
    }
    return QString::fromLatin1(out, static_cast<int>(at));
}

QByteArray valueBytes(const variable_list& v)
{
    switch (v.type) {
    case ASN_INTEGER:
        return v.val.integer ? QByteArray::number(static_cast<qlonglong>(*v.val.integer)) : QByteArray("<unknown>");
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
        return v.val.integer ? QByteArray::number(static_cast<qulonglong>(*v.val.integer & 0xffffffffUL))
                             : QByteArray("<unknown>");
    case ASN_COUNTER64:
        if (!v.val.counter64 || v.val_len < sizeof(counter64))
            return QByteArray("<unknown>");
        return QByteArray::number((static_cast<qulonglong>(v.val.counter64->high & 0xffffffffUL) << 32)
                                  | (v.val.counter64->low & 0xffffffffUL));
    case ASN_IPADDRESS:
        if (!v.val.string || v.val_len < 4)
            return QByteArray("<unknown>");
        return QByteArray::number(v.val.string[0]) + '.' + QByteArray::number(v.val.string[1]) + '.'
            + QByteArray::number(v.val.string[2]) + '.' + QByteArray::number(v.val.string[3]);
    case ASN_NULL:
        return QByteArray("<null>");
    case ASN_OBJECT_ID:
        return objidValueText(v, nullptr).toUtf8();
    case SNMP_NOSUCHOBJECT:
        return QByteArray("noSuchObject");
    case SNMP_NOSUCHINSTANCE:
        return QByteArray("noSuchInstance");
    case SNMP_ENDOFMIBVIEW:
        return QByteArray("endOfMibView");
    default:
        if (v.val_len > static_cast<size_t>(kMaxRawValue))
            return QByteArray("<unknown>");
        if (!v.val.string || v.val_len == 0)
            return QByteArray();
        return QByteArray(reinterpret_cast<const char*>(v.val.string), static_cast<int>(v.val_len));
    }
}

CSnmpTrap* buildRecord(const snmp_pdu& pdu, const QString& sender, SnmpTrapTextCache* texts)
{
    if (!isNotification(pdu.command))
        return nullptr;
    auto* trap = new CSnmpTrap;
    trap->sender = sender;
    trap->version = pdu.version == SNMP_VERSION_1 ? 1 : pdu.version == SNMP_VERSION_2c ? 2 : 3;
    if (pdu.version == SNMP_VERSION_3) {
        trap->community = QStringLiteral("unknown");
        if (pdu.securityName) {
            const auto* name = reinterpret_cast<const unsigned char*>(pdu.securityName);
            const size_t length = qMin<size_t>(pdu.securityNameLen, 256);
            trap->securityName = texts ? texts->latin1Text(name, length)
                                       : QString::fromLatin1(pdu.securityName, static_cast<int>(length));
        }
    } else if (pdu.community) {
        const size_t length = qMin<size_t>(pdu.community_len, kMaxRawValue);
        trap->community = texts ? texts->utf8Text(pdu.community, length)
                                : QString::fromUtf8(reinterpret_cast<const char*>(pdu.community), static_cast<int>(length));
    } else {
        trap->community = QString(QLatin1String(""));
    }
    if (pdu.command == SNMP_MSG_TRAP) {
        trap->enterprise = texts ? texts->oidText(pdu.enterprise, pdu.enterprise_length)
                                 : oidText(pdu.enterprise, pdu.enterprise_length);
        trap->timestamp = static_cast<int>(pdu.time);
        if (pdu.trap_type >= 0 && pdu.trap_type <= 5)
            trap->trapOid = QStringLiteral(".1.3.6.1.6.3.1.1.5.%1").arg(pdu.trap_type + 1);
        else
            trap->trapOid = trap->enterprise + QStringLiteral(".0.%1").arg(pdu.specific_type);
    }
    for (const variable_list* v = pdu.variables; v; v = v->next_variable) {
        if (pdu.command != SNMP_MSG_TRAP) {
            if (isOid(*v, kSysUpTime0)) {
                if (v->type == ASN_TIMETICKS && v->val.integer)
                    trap->timestamp = static_cast<int>(*v->val.integer);
                continue;
            }
            if (isOid(*v, kSnmpTrapOid0)) {
                trap->trapOid = objidValueText(*v, texts);
                continue;
            }
            if (isOid(*v, kSnmpTrapEnterprise0))
                trap->enterprise = objidValueText(*v, texts);
        }
        trap->payload.insert(nameText(*v, texts), CSnmpTrapPayload(valueBytes(*v)));
    }
    return trap;
}

} // namespace snmptrap
