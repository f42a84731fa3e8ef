#pragma once
// One poll's SNMP exchange for the traffic monitors and their interface discovery: the session
// (opened by CSnmpWorker, so the shared lock covers only its set-up), GET and GETNEXT requests
// for lists of numeric OIDs, and the last response.
// Threads: one per poll, on the poll's stack. Ownership: owns the response; the worker owns
// the session and closes it.

#include "CSnmpWorker.h"

#include <QStringList>
#include <vector>

class CSnmpMonitorJob;
struct stCoreZamContext;

class ZamSnmpTrafficPollData
{
public:
    // Result of a request the agent refused the credentials for, or that had no session.
    static constexpr int kNoSession = 4;

    explicit ZamSnmpTrafficPollData(CSnmpMonitorJob* job);
    ~ZamSnmpTrafficPollData();
    ZamSnmpTrafficPollData(const ZamSnmpTrafficPollData&) = delete;
    ZamSnmpTrafficPollData& operator=(const ZamSnmpTrafficPollData&) = delete;

    // Resolves the monitor's host and opens the session; 0, else the failure's code with the
    // reason set. `setupMs` gets the time it took (at least 1).
    int open(stCoreZamContext* context, uint32_t& setupMs);

    // A GET of the numeric OIDs: 0 when an answer came, 1 on a failure, kNoSession without a
    // session or PDU or when the agent refused the credentials. The reason is set on failure.
    int executeGetRequest(const QStringList& oids);
    // One GETNEXT after `name`; the same results.
    int executeGetNext(const oid* name, size_t length);

    // No answer, an error status, or one of the first `count` variables missing or empty.
    bool isEmptyResponse(unsigned count) const;
    netsnmp_pdu* response() const { return m_response; }
    void freeResponse();

    // Numeric OID text into sub-identifiers; false when it does not parse.
    static bool parseOid(const QString& text, std::vector<oid>& out);

private:
    int send(netsnmp_pdu* request);

    CSnmpMonitorJob* m_job;
    CSnmpWorker m_worker;
    netsnmp_pdu* m_response = nullptr;
};
