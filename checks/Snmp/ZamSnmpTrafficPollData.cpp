#include "ZamSnmpTrafficPollData.h"

#include "CSnmpMonitorJob.h"
#include "CTimeWatcher.h"
#include "zam_monitor_helpers.h"

namespace {

void trace(CSnmpMonitorJob* job, const char* text)
{
    if (stZamMonitor* mon = job->monitor())
        zamLogMonitorPlugin_QStr(mon, QString::fromLatin1(text));
}

}  // namespace

ZamSnmpTrafficPollData::ZamSnmpTrafficPollData(CSnmpMonitorJob* job) : m_job(job), m_worker(job) {}

ZamSnmpTrafficPollData::~ZamSnmpTrafficPollData()
{
    freeResponse();
}

void ZamSnmpTrafficPollData::freeResponse()
{
    if (m_response)
        snmp_free_pdu(m_response);
    m_response = nullptr;
}

int ZamSnmpTrafficPollData::open(stCoreZamContext* context, uint32_t& setupMs)
{
    stZamMonitor* mon = m_job->monitor();
    CTimeWatcher watcher(mon && mon->timeout > 0 ? mon->timeout : -1);
    const int rc = snmpTryInitSession(context, m_worker, watcher);
    setupMs = watcher.elapsedMillisec();
    return rc;
}

bool ZamSnmpTrafficPollData::parseOid(const QString& text, std::vector<oid>& out)
{
    const QByteArray latin = text.toLatin1();
    out.resize(MAX_OID_LEN);
    size_t length = MAX_OID_LEN;
    if (latin.isEmpty() || !snmp_parse_oid(latin.constData(), out.data(), &length))
        return false;
    out.resize(length);
    return true;
}

int ZamSnmpTrafficPollData::executeGetRequest(const QStringList& oids)
{
    if (!m_worker.handle()) {
        m_job->onError("Cannot create SNMP session", m_worker.sessionRecord(), nullptr, 1);
        return kNoSession;
    }
    trace(m_job, "create pdu");
    netsnmp_pdu* request = snmp_pdu_create(SNMP_MSG_GET);
    if (!request) {
        m_job->onError("Cannot create PDU", nullptr, nullptr, 1);
        return kNoSession;
    }
    trace(m_job, "create pdu ok");
    std::vector<oid> name;
    for (const QString& text : oids) {
        if (!parseOid(text, name)) {
            snmp_free_pdu(request);
            return m_job->onError("Cannot parse OID", nullptr, nullptr, 1);
        }
        if (!snmp_add_null_var(request, name.data(), name.size())) {
            snmp_free_pdu(request);
            return m_job->onError("Cannot add OID to the PDU", nullptr, nullptr, 1);
        }
    }
    return send(request);
}

int ZamSnmpTrafficPollData::executeGetNext(const oid* name, size_t length)
{
    if (!m_worker.handle()) {
        m_job->onError("Cannot create SNMP session", m_worker.sessionRecord(), nullptr, 1);
        return kNoSession;
    }
    netsnmp_pdu* request = snmp_pdu_create(SNMP_MSG_GETNEXT);
    if (!request) {
        m_job->onError("Cannot create PDU", nullptr, nullptr, 1);
        return kNoSession;
    }
    if (!snmp_add_null_var(request, name, length)) {
        snmp_free_pdu(request);
        return m_job->onError("Cannot add OID to the PDU", nullptr, nullptr, 1);
    }
    return send(request);
}

int ZamSnmpTrafficPollData::send(netsnmp_pdu* request)
{
    freeResponse();
    trace(m_job, "execute get request");
    // The library consumes the request whatever the outcome.
    const int status = snmp_sess_synch_response(m_worker.handle(), request, &m_response);
    trace(m_job, "execute get request ok");
    if (status == STAT_SUCCESS)
        return 0;
    if (m_response == request)
        m_response = nullptr;  // an error answered with the request itself, already released
    freeResponse();
    int libErrno = 0;
    int sysErrno = 0;
    char* libText = nullptr;
    snmp_sess_error(m_worker.handle(), &sysErrno, &libErrno, &libText);
    CSnmpJob::freeNetsnmpBuf(libText, false);
    const int code = libErrno == SNMPERR_AUTHENTICATION_FAILURE ? kNoSession : 1;
    return m_job->onError("Cannot execute request", m_worker.sessionRecord(), m_worker.handle(), code);
}

bool ZamSnmpTrafficPollData::isEmptyResponse(unsigned count) const
{
    if (!m_response || m_response->errstat != SNMP_ERR_NOERROR)
        return true;
    const netsnmp_variable_list* var = m_response->variables;
    for (unsigned i = 0; i < count; ++i, var = var->next_variable) {
        if (snmpIsEmptyVar(var))
            return true;
    }
    return false;
}
