#include "SnmpInterfaceDiscovery.h"

#include "SnmpInterfaceSuggestion.h"
#include "ZamSnmpTrafficData.h"
#include "ZamSnmpTrafficPollData.h"
#include "zam_compose.h"
#include "zam_core_context.h"
#include "zam_monitor_helpers.h"

#include <QMap>
#include <algorithm>
#include <initializer_list>
#include <cstring>

namespace {

const char* const kIfType = ".1.3.6.1.2.1.2.2.1.3.";
const char* const kIfSpeed = ".1.3.6.1.2.1.2.2.1.5.";
const char* const kIfDescr = ".1.3.6.1.2.1.2.2.1.2.";
const char* const kIfPhysAddress = ".1.3.6.1.2.1.2.2.1.6.";
const char* const kIfHighSpeed = ".1.3.6.1.2.1.31.1.1.1.15.";
const char* const kIfInOctets = ".1.3.6.1.2.1.2.2.1.10.";
const char* const kIfOutOctets = ".1.3.6.1.2.1.2.2.1.16.";
const char* const kIfHCInOctets = ".1.3.6.1.2.1.31.1.1.1.6.";
const char* const kIfHCOutOctets = ".1.3.6.1.2.1.31.1.1.1.10.";
const char* const kIpAdEntIfIndex = ".1.3.6.1.2.1.4.20.1.2";
const char* const kIfIndex = ".1.3.6.1.2.1.2.2.1.1";

QString column(const char* prefix, uint32_t index)
{
    return QLatin1String(prefix) + QString::number(index);
}

bool counterValue(const netsnmp_variable_list* var, uint64_t& value)
{
    if (var->type == ASN_COUNTER && var->val.integer) {
        value = static_cast<uint32_t>(*var->val.integer);
        return true;
    }
    if (var->type == ASN_COUNTER64 && var->val.counter64) {
        value = (static_cast<uint64_t>(var->val.counter64->high) << 32) | var->val.counter64->low;
        return true;
    }
    return false;
}

int64_t integerValue(const netsnmp_variable_list* var)
{
    return var->val.integer ? static_cast<int64_t>(static_cast<unsigned long>(*var->val.integer) & 0xFFFFFFFFu) : 0;
}

// GETs the `columns` of the rows `which`, many rows a request. A row is handed to `take` with
// one non-empty variable per column; a row the agent has no value for is left alone. When a
// request fails as a whole (an SNMPv1 agent refuses the PDU for one missing value), its rows
// are asked one by one, so one bad row never hides the others.
template <class Rows, class Take>
void batchedGet(stZamMonitor* mon, ZamSnmpTrafficPollData& poll, const std::vector<size_t>& which,
                std::initializer_list<const char*> columns, const Rows& rows, Take take)
{
    constexpr size_t kRowsPerRequest = 16;
    const size_t width = columns.size();
    const auto ask = [&](const size_t* first, size_t count) {
        QStringList oids;
        for (size_t k = 0; k < count; ++k)
            for (const char* c : columns)
                oids << column(c, rows[first[k]].interface.index);
        if (monitorStillAlive(mon))
            return true;  // the caller reports the stop
        if (poll.executeGetRequest(oids) != 0 || !poll.response() || poll.response()->errstat != SNMP_ERR_NOERROR)
            return false;
        std::vector<const netsnmp_variable_list*> vars;
        for (const netsnmp_variable_list* v = poll.response()->variables; v; v = v->next_variable)
            vars.push_back(v);
        if (vars.size() != count * width)
            return false;
        for (size_t k = 0; k < count; ++k) {
            bool present = true;
            for (size_t c = 0; c < width; ++c)
                present = present && !snmpIsEmptyVar(vars[k * width + c]);
            if (present)
                take(first[k], &vars[k * width]);
        }
        return true;
    };
    for (size_t at = 0; at < which.size(); at += kRowsPerRequest) {
        const size_t count = std::min(kRowsPerRequest, which.size() - at);
        if (ask(&which[at], count) || count == 1)
            continue;
        for (size_t k = 0; k < count; ++k)
            ask(&which[at + k], 1);
    }
}

class Walk
{
public:
    Walk(stZamMonitor* mon, ZamSnmpTrafficPollData& poll, std::vector<oid> columnOid)
        : m_mon(mon), m_poll(poll), m_column(std::move(columnOid)), m_last(m_column)
    {
    }
    // 1 with the next row's variable, 0 at the column's end, -1 (with the reason set) when the
    // exchange failed or the host asked to stop; `rc` is the failure's code.
    int next(const netsnmp_variable_list*& var, int& rc)
    {
        if (monitorStillAlive(m_mon)) {
            setMonFailReason(m_mon, "aborted by service");
            rc = setMonFailure(m_mon);
            return -1;
        }
        if (++m_rows > kMaxInterfaceWalkRows)
            return 0;
        rc = m_poll.executeGetNext(m_last.data(), m_last.size());
        if (rc != 0)
            return -1;
        const netsnmp_pdu* response = m_poll.response();
        if (!response || response->errstat != SNMP_ERR_NOERROR)
            return 0;
        var = response->variables;
        if (snmpIsEmptyVar(var) || !snmpIsChildVar(var->name, var->name_length, m_column.data(), m_column.size()))
            return 0;
        // An agent that repeats or goes back would keep the walk going for ever.
        if (snmp_oid_compare(var->name, var->name_length, m_last.data(), m_last.size()) <= 0)
            return 0;
        m_last.assign(var->name, var->name + var->name_length);
        return 1;
    }

private:
    stZamMonitor* m_mon;
    ZamSnmpTrafficPollData& m_poll;
    std::vector<oid> m_column;
    std::vector<oid> m_last;
    int m_rows = 0;
};

}  // namespace

int getInterfaces(stCoreZamContext* context, stZamMonitor* mon, QList<SSnmpNetworkInterface>& interfaces,
                  std::string& chosen)
{
    interfaces.clear();
    chosen.clear();
    if (!context || !context->active || !context->snmpMutex) {
        setMonFailReason(mon, "Cannot initialize SNMP library");
        return setMonFailure(mon);
    }
    if (!mon->pluginData) {
        setMonFailReason(mon, "Plugin data was not created");
        return setMonFailure(mon);
    }
    auto* data = static_cast<ZamSnmpTrafficData*>(mon->pluginData);
    ZamSnmpTrafficPollData poll(data);
    uint32_t setupMs = 0;
    if (const int rc = poll.open(context, setupMs))
        return rc;

    std::vector<oid> addressColumn;
    std::vector<oid> indexColumn;
    if (!ZamSnmpTrafficPollData::parseOid(QLatin1String(kIpAdEntIfIndex), addressColumn)
        || !ZamSnmpTrafficPollData::parseOid(QLatin1String(kIfIndex), indexColumn))
        return data->onError("Cannot parse OID", nullptr, nullptr, 1);

    // The address is the row's index (the last four sub-identifiers), the value its ifIndex.
    QMap<uint32_t, QStringList> addresses;
    {
        Walk walk(mon, poll, addressColumn);
        const netsnmp_variable_list* var = nullptr;
        int rc = 0;
        int more;
        while ((more = walk.next(var, rc)) == 1) {
            std::string text;
            for (size_t i = addressColumn.size(); i < var->name_length; ++i) {
                if (!text.empty())
                    text += '.';
                text += std::to_string(var->name[i]);
            }
            if (isIPv6Address(text) || !var->val.integer)
                continue;
            QStringList& list = addresses[static_cast<uint32_t>(*var->val.integer)];
            const QString address = QString::fromStdString(text);
            if (!list.contains(address))
                list << address;
        }
        // A failed address walk is no reason to give up: the interfaces are still listed.
        if (more < 0 && monitorStillAlive(mon))
            return rc;
    }

    // The ifIndex column first; then each interface's values, many interfaces a request.
    std::vector<uint32_t> indexes;
    {
        Walk walk(mon, poll, indexColumn);
        const netsnmp_variable_list* var = nullptr;
        int rc = 0;
        int more;
        while ((more = walk.next(var, rc)) == 1) {
            if (var->val.integer)
                indexes.push_back(static_cast<uint32_t>(*var->val.integer));
        }
        if (more < 0)
            return rc;
    }

    struct Row {
        SSnmpNetworkInterface interface;
        uint64_t in = 0;
        uint64_t out = 0;
        uint64_t speed = 0;
        int64_t highSpeed = -1;
        bool counters = false;
        bool identity = false;
    };
    std::vector<Row> rows(indexes.size());
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i].interface.index = indexes[i];
    std::vector<size_t> all(rows.size());
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = i;

    const auto readCounters = [&rows](size_t i, const netsnmp_variable_list* const* v) {
        rows[i].counters = counterValue(v[0], rows[i].in) && counterValue(v[1], rows[i].out);
    };
    batchedGet(mon, poll, all, {kIfHCInOctets, kIfHCOutOctets}, rows, readCounters);
    std::vector<size_t> without64;
    for (size_t i : all)
        if (!rows[i].counters)
            without64.push_back(i);
    batchedGet(mon, poll, without64, {kIfInOctets, kIfOutOctets}, rows, readCounters);

    std::vector<size_t> counted;
    for (size_t i : all)
        if (rows[i].counters)
            counted.push_back(i);
    batchedGet(mon, poll, counted, {kIfType, kIfSpeed, kIfDescr, kIfPhysAddress}, rows,
               [&rows](size_t i, const netsnmp_variable_list* const* v) {
                   SSnmpNetworkInterface& interface = rows[i].interface;
                   interface.type = static_cast<uint64_t>(integerValue(v[0]));
                   rows[i].speed = static_cast<uint64_t>(integerValue(v[1]));
                   if (v[2]->val.string && v[2]->type == ASN_OCTET_STR) {
                       const char* text = reinterpret_cast<const char*>(v[2]->val.string);
                       interface.description.assign(text, strnlen(text, v[2]->val_len));
                   }
                   if (v[3]->type == ASN_OCTET_STR)
                       interface.physAddress = physAddressText(v[3]->val.string, v[3]->val_len);
                   rows[i].identity = true;
               });

    std::vector<size_t> saturated;
    for (size_t i : counted)
        if (rows[i].identity && rows[i].speed == 4294967295u)
            saturated.push_back(i);
    batchedGet(mon, poll, saturated, {kIfHighSpeed}, rows,
               [&rows](size_t i, const netsnmp_variable_list* const* v) { rows[i].highSpeed = integerValue(v[0]); });

    if (monitorStillAlive(mon)) {
        setMonFailReason(mon, "aborted by service");
        return setMonFailure(mon);
    }
    SnmpInterfaceSuggestion suggestion(QString::fromLatin1(mon->hostAddress));
    for (Row& row : rows) {
        if (!row.identity)
            continue;
        row.interface.bandwidth = interfaceBandwidthKbps(row.speed, row.highSpeed);
        row.interface.addresses = addresses.value(row.interface.index);
        interfaces << row.interface;
        suggestion.consider(row.interface, row.in, row.out);
    }
    chosen = suggestion.chosen();
    // A row left out may have left its reason; the listing itself succeeded.
    mon->failReason[0] = '\0';
    return 0;
}

int handleInterfacesForDiscovery(stZamMonitor* mon, int status, const QList<SSnmpNetworkInterface>& interfaces,
                                 const std::string& chosen)
{
    if (status != 0)
        return status;
    if (interfaces.isEmpty()) {
        setMonFailReason(mon, "No Network Interfaces found");
        return setMonFailure(mon);
    }
    compose_zam_memsect_entity_table(mon, fillInterfacesTable(interfaces, chosen).c_str(), ZAM_SECTION_SNMP_INTERFACES);
    return 0;
}

int handleInterfacesForEnumeration(stZamMonitor* mon, int status, const QString& typeName,
                                   const QList<SSnmpNetworkInterface>& interfaces)
{
    if (status != 0)
        return status;
    for (const SSnmpNetworkInterface& interface : interfaces) {
        if (interface.addresses.isEmpty() || containsLoopback(interface.addresses)
            || containsLinkLocal(interface.addresses))
            continue;
        QMap<QString, CZamNewMonitorSetting> settings;
        const std::string table = fillInterfacesTable(interfaces, makeChoosenInterface(interface));
        settings.insert(QStringLiteral("Interface Number"), CZamNewMonitorSetting(QString::fromStdString(table), true));
        settings.insert(QStringLiteral("Interface Bandwidth, kbits/s"),
                        CZamNewMonitorSetting(static_cast<int>(interface.bandwidth), false));
        addNewMonitor(mon, typeName, truncateInterfaceName(QString::fromStdString(interface.description)), settings);
    }
    return 0;
}
