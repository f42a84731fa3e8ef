#pragma once
// One poll's SNMP session and its requests: opens a v1, v2c or v3 single session from the job's
// settings, sends GETs and column walks, and reports every failure through the job's onError.
// Threads: one worker per poll, on the poll's stack; only session set-up and SNMPv3 user changes
// take the shared SNMP mutex (the context's), never a host-name lookup or a network exchange.
// Ownership: owns the session handle and the PDUs; the destructor frees and closes them.

#include "CTimeWatcher.h"

#include <QString>
#include <QStringList>
#include <cstdint>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

class CSnmpJob;
struct stCoreZamContext;
struct stZamMonitor;

class CSnmpWorker
{
public:
    // A longer column fails its walk after this many rows (an agent could feed it for ever).
    static constexpr int kMaxWalkRows = 100000;

    explicit CSnmpWorker(CSnmpJob* job);
    ~CSnmpWorker();
    CSnmpWorker(const CSnmpWorker&) = delete;
    CSnmpWorker& operator=(const CSnmpWorker&) = delete;

    // Fills the session record from the job and opens it (host already resolved into `peer`).
    // Each worker fills its own record, so only the opening and the SNMPv3 user change take
    // `mutex`.
    int prepareSession(pthread_mutex_t* mutex, const std::string& peer, int timeoutMs);

    int executeRequest(int pduType, const QString& oid, int& status);
    int executeRequest(int pduType, const QStringList& oids, int& status);
    int validateResponse();
    void parseResponse(bool& notInteger, long& value) const;
    int tryGetIntValue(const QString& oid, CTimeWatcher& watcher, bool& notInteger, long& value);
    // Values of one column by GETNEXT. The column is numeric with a leading dot. Ends at the
    // column's end; an OID that does not increase, a stop request or a row beyond the row cap
    // ends it with a failure.
    int walkColumn(const QString& columnOid, QStringList& values);
    // The walk's row cap (kMaxWalkRows unless lowered, as tests do).
    int maxWalkRows() const { return m_maxWalkRows; }
    void setMaxWalkRows(int rows) { m_maxWalkRows = rows; }
    int getColumn(const QString& columnOid, const QStringList& indexes, QStringList& values);
    // A table through the shared cache (CSnmpTableCache): one list per column; the first column
    // must be the index column, whose rows reading "0" are dropped. `timestamp` is the end of
    // the refresh that produced the data.
    int walkTable(const QString& tableOid, const QStringList& columns, QList<QStringList>& table, unsigned& timestamp);

    // The STAT_ERROR case: Net-SNMP answered with the request PDU itself and freed it.
    bool statErrorFreedRequest() const { return m_response != nullptr && m_response == m_request; }
    void forgetPdus()
    {
        m_request = nullptr;
        m_response = nullptr;
    }

    netsnmp_session* sessionRecord() { return &m_session; }
    void* handle() const { return m_handle; }
    netsnmp_pdu* response() const { return m_response; }
    CSnmpJob* job() const { return m_job; }

    // Engine-ID discovery of an SNMPv3 session (a network exchange, outside the lock).
    int discoverEngineId();

private:
    int fail(const char* text, bool withSession);
    int addOid(netsnmp_pdu* request, const QString& oidText);
    int sendRequest(netsnmp_pdu* request, int& status);
    void freeResponse();

    CSnmpJob* m_job;
    netsnmp_session m_session;   // this poll's session template
    void* m_handle = nullptr;
    netsnmp_pdu* m_request = nullptr;
    netsnmp_pdu* m_response = nullptr;
    oid m_oid[MAX_OID_LEN];
    size_t m_oidLength = 0;
    int m_maxWalkRows = kMaxWalkRows;
};

// Starts the watcher, resolves the monitor's host (outside the shared mutex) and opens the
// worker's session. 0 with an open session, else the failure's code with the monitor's reason
// and result set.
int snmpTryInitSession(stCoreZamContext* context, CSnmpWorker& worker, CTimeWatcher& watcher);

// 1 for a missing variable or an exception value (noSuchObject, noSuchInstance, endOfMibView).
bool snmpIsEmptyVar(const netsnmp_variable_list* var);
// True when `prefixLength` < `length` and the first `prefixLength` sub-identifiers agree.
bool snmpIsChildVar(const oid* name, size_t length, const oid* prefix, size_t prefixLength);
// The number of '.' characters.
int snmpOidLength(const std::string& text);
