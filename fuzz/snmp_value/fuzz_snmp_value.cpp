// SNMP value bytes as an agent could send them: the first byte picks the ASN.1 type, the second
// the display hint, the rest is the value. Formatting, the number of the value and the text to
// number step must not crash, hang or read past the bytes on any input.

#include "common/SnmpValueFormat.h"
#include "Snmp/SnmpValueNumber.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    static const u_char types[] = {ASN_INTEGER, ASN_OCTET_STR, ASN_OBJECT_ID, ASN_IPADDRESS, ASN_COUNTER, ASN_GAUGE,
                                   ASN_TIMETICKS, ASN_OPAQUE, ASN_COUNTER64, ASN_FLOAT, ASN_DOUBLE, ASN_BIT_STR,
                                   ASN_OPAQUE_FLOAT, ASN_OPAQUE_DOUBLE, ASN_OPAQUE_COUNTER64, ASN_NULL,
                                   SNMP_NOSUCHOBJECT, SNMP_NOSUCHINSTANCE, SNMP_ENDOFMIBVIEW};
    static const char* const hints[] = {nullptr, "255a", "1x:", "d-2", "2d", "1d.", "4d", "255t"};
    const u_char type = types[data[0] % (sizeof types / sizeof types[0])];
    const char* hint = hints[data[1] % (sizeof hints / sizeof hints[0])];
    // The value in memory that Net-SNMP's own decoder would produce: aligned, of its length.
    std::vector<uint64_t> storage((size - 2) / sizeof(uint64_t) + 2, 0);
    std::memcpy(storage.data(), data + 2, size - 2);
    oid name[] = {1, 3, 6, 1, 4, 1, 99999, 1, 1, 0};
    netsnmp_variable_list var;
    std::memset(&var, 0, sizeof var);
    var.name = name;
    var.name_length = sizeof name / sizeof name[0];
    var.type = type;
    var.val.string = reinterpret_cast<u_char*>(storage.data());
    var.val_len = size - 2;
    if (type == ASN_OBJECT_ID)
        var.val_len -= var.val_len % sizeof(oid);
    QString text;
    convertNetSnmpVarValueIntoPrintable(&var, hint, false, text);
    long double value = 0;
    if (snmpVarNumber(&var, value) == SnmpNumberKind::Text)
        snmpTextToNumber(text, value);
    int64_t out = 0;
    QString reason;
    snmpScaledValue(value, 1.0, out, reason);
    return 0;
}
