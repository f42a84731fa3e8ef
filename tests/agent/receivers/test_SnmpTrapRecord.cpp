// The trap record's texts and tests, and records built from PDUs as Net-SNMP parses them,
// with and without the receiver's text cache.
#include "receivers/CSnmpTrap.h"
#include "receivers/SnmpTrapRecordBuilder.h"
#include "receivers/SnmpTrapTextCache.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct PduDeleter
{
    void operator()(netsnmp_pdu* p) const { snmp_free_pdu(p); }
};
using Pdu = std::unique_ptr<netsnmp_pdu, PduDeleter>;

Pdu makePdu(int command, long version)
{
    Pdu p(snmp_pdu_create(command));
    p->version = version;
    return p;
}

std::vector<oid> parseOid(const char* text)
{
    std::vector<oid> out;
    for (const QString& part : QString(text).split('.', Qt::SkipEmptyParts))
        out.push_back(part.toULong());
    return out;
}

void add(netsnmp_pdu* p, const char* name, u_char type, const void* value, size_t len)
{
    const std::vector<oid> o = parseOid(name);
    ASSERT_TRUE(snmp_pdu_add_variable(p, o.data(), o.size(), type, value, len));
}
void addInt(netsnmp_pdu* p, const char* name, u_char type, long v) { add(p, name, type, &v, sizeof v); }
void addOid(netsnmp_pdu* p, const char* name, const char* value)
{
    const std::vector<oid> o = parseOid(value);
    add(p, name, ASN_OBJECT_ID, o.data(), o.size() * sizeof(oid));
}
void addText(netsnmp_pdu* p, const char* name, const QByteArray& v) { add(p, name, ASN_OCTET_STR, v.constData(), v.size()); }

// "OID=value" texts of the payload under the undefined encoding, in key order.
QStringList payloadTexts(const CSnmpTrap& t)
{
    QStringList out;
    for (auto it = t.payload.constBegin(); it != t.payload.constEnd(); ++it)
        out << it.key() + '=' + it.value().toText(kUndefinedTrapEncoding);
    return out;
}

} // namespace

TEST(SnmpTrapTexts, NamesAndValueRendering)
{
    struct Row { QString oid, name; } names[] = {
        {".1.3.6.1.6.3.1.1.5.1", "coldStart"},
        {".1.3.6.1.6.3.1.1.5.3", "linkDown"},
        {".1.3.6.1.6.3.1.1.5.6", "egpNeighborLoss"},
        {".1.3.6.1.2.1.1.3.0", "sysUpTime.0"},
        {".1.3.6.1.6.3.1.1.5.3.7", "linkDown.7"},
        {".1.3.6.1.6.3.1.1.5.7", ".1.3.6.1.6.3.1.1.5.7"},
        {".1.3.6.1.6.3.1.1.5.3.7.1", ".1.3.6.1.6.3.1.1.5.3.7.1"},
        {"", ""},
    };
    for (const Row& r : names)
        EXPECT_EQ(genericTrapName(r.oid), r.name) << qPrintable(r.oid);
    EXPECT_EQ(trapReceivedText(".1.3.6.1.6.3.1.1.5.4"), "Received linkUp trap");

    EXPECT_EQ(normalizeOidText("1.3.6"), ".1.3.6");
    EXPECT_EQ(normalizeOidText(QString::fromUtf8("\u0663.1")), QString::fromUtf8(".\u0663.1"));  // Arabic-Indic 3
    EXPECT_EQ(normalizeOidText(".1.3"), ".1.3");
    EXPECT_EQ(normalizeOidText("x1"), "x1");
    EXPECT_EQ(normalizeOidText(""), "");

    struct Value { QByteArray data; QString encoding, text; } values[] = {
        {"tab\there", kUndefinedTrapEncoding, "tab\there"},
        {QByteArray("\x00\xff", 2), kUndefinedTrapEncoding, "00ff"},
        {"say \"hi\"\\\r\n", kUndefinedTrapEncoding, "say \\\"hi\\\"\\\\\\r\\n"},
        {"", kUndefinedTrapEncoding, ""},
        {"\xc3\xa9t\xc3\xa9", "UTF-8", QString::fromUtf8("été")},
        {"\xe9t\xe9", "ISO-8859-1", QString::fromUtf8("été")},
        {"\xc3\xa9", "no-such-codec", QString::fromUtf8("é")},
        {"\xc3\xa9", "", QString::fromUtf8("é")},
    };
    for (const Value& v : values)
        EXPECT_EQ(CSnmpTrapPayload(v.data).toText(v.encoding), v.text) << v.data.toHex().constData();
}

TEST(SnmpTrapTexts, MatchingTests)
{
    CSnmpTrap empty;
    EXPECT_TRUE(empty.payloadMatches(QRegExp("^$"), QRegExp(), "UTF-8"));
    EXPECT_FALSE(empty.payloadMatches(QRegExp("."), QRegExp(), "UTF-8"));
    EXPECT_TRUE(empty.anyPayloadValueMatches(QRegExp("^$"), "UTF-8"));

    CSnmpTrap t;
    t.trapOid = ".1.3.6.1.4.1.9.0.5";
    t.payload.insert(".1.3.6.1.2.1.2.2.1.1.3", CSnmpTrapPayload("3"));
    t.payload.insert(".1.3.6.1.2.1.2.2.1.2.3", CSnmpTrapPayload("eth0 error"));
    struct Row { QString inc, exc; bool payload; } rows[] = {
        {"", "", true},
        {"1\\.1\\.3=3$", "", true},
        {"=eth0", "", true},
        {"1\\.1\\.3=3$", "error", false},       // a later entry excluded after an earlier include
        {"", "=4$", true},
        {"nothing", "", false},
        {"^\\.1\\.3\\.6\\.1\\.2\\.1\\.2\\.2\\.1\\.1\\.3=", "", true},  // the key is part of the text
    };
    for (const Row& r : rows)
        EXPECT_EQ(t.payloadMatches(QRegExp(r.inc), QRegExp(r.exc), "UTF-8"), r.payload) << qPrintable(r.inc + " / " + r.exc);
    EXPECT_TRUE(t.anyPayloadValueMatches(QRegExp("^eth0"), "UTF-8"));
    EXPECT_FALSE(t.anyPayloadValueMatches(QRegExp("^\\.1"), "UTF-8"));  // keys are not values
    EXPECT_TRUE(t.oidMatches(QRegExp("^\\.1\\.3\\.6\\.1\\.4\\.1\\.9\\."), QRegExp()));
    EXPECT_FALSE(t.oidMatches(QRegExp("^\\.1\\.3\\.6\\.1\\.4\\.1\\.9\\."), QRegExp("\\.0\\.5$")));
    EXPECT_FALSE(t.oidMatches(QRegExp("^\\.1\\.3\\.6\\.1\\.4\\.1\\.8\\."), QRegExp()));
}

TEST(SnmpTrapBuilder, V1TrapsGetTheirTrapOidAndKeepEveryBinding)
{
    struct Row { long generic, specific; QString trapOid; } rows[] = {
        {0, 0, ".1.3.6.1.6.3.1.1.5.1"},
        {2, 0, ".1.3.6.1.6.3.1.1.5.3"},
        {5, 0, ".1.3.6.1.6.3.1.1.5.6"},
        {6, 17, ".1.3.6.1.4.1.8072.9.0.17"},
    };
    for (const Row& r : rows) {
        Pdu p = makePdu(SNMP_MSG_TRAP, SNMP_VERSION_1);
        const std::vector<oid> ent = parseOid("1.3.6.1.4.1.8072.9");
        p->enterprise = snmp_duplicate_objid(ent.data(), ent.size());
        p->enterprise_length = ent.size();
        p->trap_type = r.generic;
        p->specific_type = r.specific;
        p->time = 4242;
        p->community = reinterpret_cast<u_char*>(strdup("public"));
        p->community_len = 6;
        addInt(p.get(), "1.3.6.1.2.1.2.2.1.1.3", ASN_INTEGER, 3);
        std::unique_ptr<CSnmpTrap> t(snmptrap::buildRecord(*p, "10.0.0.5"));
        ASSERT_TRUE(t);
        EXPECT_EQ(t->version, 1);
        EXPECT_EQ(t->trapOid, r.trapOid);
        EXPECT_EQ(t->enterprise, ".1.3.6.1.4.1.8072.9");
        EXPECT_EQ(t->timestamp, 4242);
        EXPECT_EQ(t->community, "public");
        EXPECT_EQ(t->securityName, "");
        EXPECT_EQ(t->sender, "10.0.0.5");
        EXPECT_EQ(payloadTexts(*t), QStringList{".1.3.6.1.2.1.2.2.1.1.3=3"});
    }
}

TEST(SnmpTrapBuilder, V2NotificationsAndValueTexts)
{
    for (int command : {int(SNMP_MSG_TRAP2), int(SNMP_MSG_INFORM)}) {
        Pdu p = makePdu(command, SNMP_VERSION_3);
        p->securityName = strdup("shaaes");
        p->securityNameLen = 6;
        addInt(p.get(), "1.3.6.1.2.1.1.3.0", ASN_TIMETICKS, 123456);
        addOid(p.get(), "1.3.6.1.6.3.1.1.4.1.0", "1.3.6.1.6.3.1.1.5.3");
        addOid(p.get(), "1.3.6.1.6.3.1.1.4.3.0", "1.3.6.1.4.1.9");
        addInt(p.get(), "1.3.6.1.4.1.9.1", ASN_INTEGER, -42);
        addInt(p.get(), "1.3.6.1.4.1.9.2", ASN_COUNTER, 4000000000L);
        addInt(p.get(), "1.3.6.1.4.1.9.3", ASN_GAUGE, 7);
        addInt(p.get(), "1.3.6.1.4.1.9.4", ASN_TIMETICKS, 100);
        const u_char ip[4] = {192, 168, 1, 10};
        add(p.get(), "1.3.6.1.4.1.9.5", ASN_IPADDRESS, ip, 4);
        counter64 c64{1, 2};
        add(p.get(), "1.3.6.1.4.1.9.6", ASN_COUNTER64, &c64, sizeof c64);
        add(p.get(), "1.3.6.1.4.1.9.7", ASN_NULL, nullptr, 0);
        addOid(p.get(), "1.3.6.1.4.1.9.8", "1.3.6.1.4.1.9.9.9");
        addText(p.get(), "1.3.6.1.4.1.9.9", QByteArray("\x00\xff", 2));
        addText(p.get(), "1.3.6.1.4.1.9.10", "first");
        addText(p.get(), "1.3.6.1.4.1.9.10", "second");  // the later value of a key stays
        add(p.get(), "1.3.6.1.4.1.9.11", SNMP_NOSUCHINSTANCE, nullptr, 0);
        std::unique_ptr<CSnmpTrap> t(snmptrap::buildRecord(*p, "127.0.0.1"));
        ASSERT_TRUE(t);
        EXPECT_EQ(t->version, 3);
        EXPECT_EQ(t->trapOid, ".1.3.6.1.6.3.1.1.5.3");
        EXPECT_EQ(t->timestamp, 123456);
        EXPECT_EQ(t->enterprise, ".1.3.6.1.4.1.9");
        EXPECT_EQ(t->community, "unknown");
        EXPECT_EQ(t->securityName, "shaaes");
        // sysUpTime.0 and snmpTrapOID.0 are the record's fields, not payload; keys sort as
        // text (".10" before ".2").
        EXPECT_EQ(payloadTexts(*t), (QStringList{
                                        ".1.3.6.1.4.1.9.1=-42",
                                        ".1.3.6.1.4.1.9.10=second",
                                        ".1.3.6.1.4.1.9.11=noSuchInstance",
                                        ".1.3.6.1.4.1.9.2=4000000000",
                                        ".1.3.6.1.4.1.9.3=7",
                                        ".1.3.6.1.4.1.9.4=100",
                                        ".1.3.6.1.4.1.9.5=192.168.1.10",
                                        ".1.3.6.1.4.1.9.6=4294967298",
                                        ".1.3.6.1.4.1.9.7=<null>",
                                        ".1.3.6.1.4.1.9.8=.1.3.6.1.4.1.9.9.9",
                                        ".1.3.6.1.4.1.9.9=00ff",
                                        ".1.3.6.1.6.3.1.1.4.3.0=.1.3.6.1.4.1.9",
                                    }));
    }
    // v2c: the community is the record's; no enterprise binding leaves it empty.
    Pdu p = makePdu(SNMP_MSG_TRAP2, SNMP_VERSION_2c);
    p->community = reinterpret_cast<u_char*>(strdup("secret"));
    p->community_len = 6;
    addOid(p.get(), "1.3.6.1.6.3.1.1.4.1.0", "1.3.6.1.6.3.1.1.5.1");
    std::unique_ptr<CSnmpTrap> t(snmptrap::buildRecord(*p, "127.0.0.1"));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->version, 2);
    EXPECT_EQ(t->community, "secret");
    EXPECT_EQ(t->enterprise, "");
    EXPECT_TRUE(t->payload.isEmpty());
    EXPECT_EQ(trapReceivedText(t->trapOid), "Received coldStart trap");

    // Only notifications make records.
    for (int command : {int(SNMP_MSG_GET), int(SNMP_MSG_RESPONSE), int(SNMP_MSG_REPORT), int(SNMP_MSG_SET), 0})
        EXPECT_EQ(snmptrap::buildRecord(*makePdu(command, SNMP_VERSION_2c), "127.0.0.1"), nullptr) << command;
}

TEST(SnmpTrapBuilder, ATextCacheGivesTheSameRecords)
{
    auto streamForm = [](CSnmpTrap* t) {
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << CSnmpTrapPtr(t);
        return bytes;
    };
    // The longest OID, with the smallest and largest components.
    std::vector<oid> longest(MAX_OID_LEN, ~oid(0));
    longest[0] = 1;
    longest[1] = 0;
    EXPECT_EQ(snmptrap::oidText(longest.data(), 2), ".1.0");
    EXPECT_EQ(snmptrap::oidText(longest.data(), 3), ".1.0." + QString::number(~qulonglong(0)));
    EXPECT_EQ(snmptrap::oidText(longest.data(), 0), "");
    EXPECT_FALSE(snmptrap::oidText(longest.data(), 0).isNull());

    // More traps than the cache has slots, of every version, with texts it keeps and texts
    // too long to keep, an empty community and no community at all.
    std::vector<Pdu> pdus;
    for (int i = 0; i < 3 * SnmpTrapTextCache::kSlots; ++i) {
        const int kind = i % 4;
        Pdu p = makePdu(kind == 0 ? SNMP_MSG_TRAP : SNMP_MSG_TRAP2,
                        kind == 0 ? SNMP_VERSION_1 : kind == 3 ? SNMP_VERSION_3 : SNMP_VERSION_2c);
        const QByteArray text = i % 5 == 0 ? QByteArray() : i % 7 == 0 ? QByteArray(600, 'c') : "c" + QByteArray::number(i % 40);
        if (kind == 3) {
            p->securityName = strdup(("user" + QByteArray::number(i % 9)).constData());
            p->securityNameLen = strlen(p->securityName);
        } else if (i % 11 != 0) {
            p->community = static_cast<u_char*>(malloc(size_t(text.size()) + 1));
            memcpy(p->community, text.constData(), size_t(text.size()));
            p->community_len = size_t(text.size());
        }
        if (kind == 0) {
            const std::vector<oid> ent = parseOid(("1.3.6.1.4.1." + QByteArray::number(i % 50)).constData());
            p->enterprise = snmp_duplicate_objid(ent.data(), ent.size());
            p->enterprise_length = ent.size();
            p->trap_type = 6;
            p->specific_type = i;
        } else {
            addOid(p.get(), "1.3.6.1.6.3.1.1.4.1.0", ("1.3.6.1.4.1.9.0." + QByteArray::number(i % 70)).constData());
        }
        addText(p.get(), ("1.3.6.1.4.1.9.9." + QByteArray::number(i)).constData(), text);
        if (i % 13 == 0) {
            ASSERT_TRUE(snmp_pdu_add_variable(p.get(), longest.data(), longest.size(), ASN_OCTET_STR, "v", 1));
        }
        pdus.push_back(std::move(p));
    }
    SnmpTrapTextCache cache;
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t k = 0; k < pdus.size(); ++k) {
            const netsnmp_pdu& p = *pdus[pass == 0 ? k : pdus.size() - 1 - k];
            EXPECT_EQ(streamForm(snmptrap::buildRecord(p, "10.0.0.5", &cache)), streamForm(snmptrap::buildRecord(p, "10.0.0.5")))
                << pass << ' ' << k;
        }
    }
}
