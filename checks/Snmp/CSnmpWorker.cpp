#include "CSnmpWorker.h"

#include "CHostInfo.h"
#include "CSnmpJob.h"
#include "CSnmpTableCache.h"
#include "CSnmpTableLocker.h"
#include "SnmpUsmUsers.h"
#include "zam_core_context.h"
#include "zam_monitor_helpers.h"

#include <QHostAddress>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>

namespace {

// Holds the shared SNMP mutex for one section; unlocks only what it locked.
class SnmpLockSection
{
public:
    explicit SnmpLockSection(pthread_mutex_t* mutex) : m_mutex(mutex)
    {
        m_locked = m_mutex && pthread_mutex_lock(m_mutex) == 0;
    }
    ~SnmpLockSection()
    {
        if (m_locked)
            pthread_mutex_unlock(m_mutex);
    }
    SnmpLockSection(const SnmpLockSection&) = delete;
    SnmpLockSection& operator=(const SnmpLockSection&) = delete;

private:
    pthread_mutex_t* m_mutex;
    bool m_locked = false;
};

void trace(const CSnmpJob* job, const QString& text)
{
    if (stZamMonitor* mon = job->monitor())
        zamLogMonitorPlugin_QStr(mon, text);
}

// The peer text Net-SNMP gets: always an address, so the library never resolves a name while
// the shared mutex is held. False when the name does not resolve.
bool peerForHost(const QByteArray& host, int port, std::string& peer)
{
    QHostAddress address;
    if (!address.setAddress(QString::fromLatin1(host))) {
        addrinfo hints;
        std::memset(&hints, 0, sizeof hints);
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_DGRAM;
        addrinfo* list = nullptr;
        if (getaddrinfo(host.constData(), nullptr, &hints, &list) != 0 || !list)
            return false;
        address = QHostAddress(list->ai_addr);
        freeaddrinfo(list);
        if (address.isNull())
            return false;
    }
    const QString portText = QString::number(port);
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        bool v4 = false;
        const quint32 mapped = address.toIPv4Address(&v4);
        if (v4)
            address = QHostAddress(mapped);
    }
    const QString text = address.protocol() == QAbstractSocket::IPv6Protocol
        ? QStringLiteral("udp6:[%1]:%2").arg(address.toString(), portText)
        : QStringLiteral("udp:%1:%2").arg(address.toString(), portText);
    peer = text.toStdString();
    return true;
}

const char* authName(int mode)
{
    return mode == 0 ? "MD5" : mode == 1 ? "SHA1" : "none";
}

const char* privName(int protocol)
{
    return protocol == 1 ? "DES" : protocol == 2 ? "AES" : "none";
}

}  // namespace

bool snmpIsEmptyVar(const netsnmp_variable_list* var)
{
    return !var || var->type == SNMP_NOSUCHOBJECT || var->type == SNMP_NOSUCHINSTANCE || var->type == SNMP_ENDOFMIBVIEW;
}

bool snmpIsChildVar(const oid* name, size_t length, const oid* prefix, size_t prefixLength)
{
    if (prefixLength >= length)
        return false;
    return prefixLength == 0 || std::memcmp(name, prefix, prefixLength * sizeof(oid)) == 0;
}

int snmpOidLength(const std::string& text)
{
    int dots = 0;
    for (char c : text)
        dots += c == '.' ? 1 : 0;
    return dots;
}

CSnmpWorker::CSnmpWorker(CSnmpJob* job) : m_job(job)
{
    std::memset(&m_session, 0, sizeof m_session);
}

CSnmpWorker::~CSnmpWorker()
{
    freeResponse();
    if (m_handle)
        snmp_sess_close(m_handle);
}

void CSnmpWorker::freeResponse()
{
    if (m_response && m_response != m_request)
        snmp_free_pdu(m_response);
    m_response = nullptr;
    m_request = nullptr;  // owned by Net-SNMP once sent
}

int CSnmpWorker::fail(const char* text, bool withSession)
{
    return m_job->onError(text, withSession ? &m_session : nullptr, withSession ? m_handle : nullptr, 1);
}

int snmpTryInitSession(stCoreZamContext* context, CSnmpWorker& worker, CTimeWatcher& watcher)
{
    CSnmpJob* job = worker.job();
    stZamMonitor* mon = job->monitor();
    if (!mon)
        return job->onError("Internal error: poll context has no monitor", worker.sessionRecord(), nullptr, 1);
    watcher.start();
    trace(job, QStringLiteral("resolve address"));
    QByteArray host;
    if (!CHostInfo::resolveAsync(mon, host)) {
        setMonFailure(mon);
        return 1;
    }
    trace(job, QStringLiteral("resolve address ok: '%1'").arg(QString::fromLatin1(host)));
    std::string peer;
    if (!peerForHost(host, job->port, peer)) {
        const QByteArray text = QStringLiteral("Cannot create SNMP session: Unknown host (%1)")
                                    .arg(QString::fromLatin1(host))
                                    .toUtf8();
        return job->onError(text.constData(), nullptr, nullptr, 1);
    }
    return worker.prepareSession(context ? context->snmpMutex : nullptr, peer, mon->timeout);
}

int CSnmpWorker::prepareSession(pthread_mutex_t* mutex, const std::string& peer, int timeoutMs)
{
    CSnmpJob& job = *m_job;
    snmp_sess_init(&m_session);
    const bool auth = !job.authPass.empty() && job.authMode != 2;
    const bool priv = auth && !job.privPass.empty() && job.privProtocol != 0;
    job.peer = peer;
    m_session.peername = &job.peer[0];
    switch (job.version) {
    case 1:
    case 2:
        m_session.version = job.version == 1 ? SNMP_VERSION_1 : SNMP_VERSION_2c;
        m_session.community = reinterpret_cast<u_char*>(&job.community[0]);
        m_session.community_len = job.community.size();
        break;
    case 3: {
        m_session.version = SNMP_VERSION_3;
        m_session.securityName = &job.securityName[0];
        m_session.securityNameLen = job.securityName.size();
        m_session.securityModel = SNMP_DEFAULT_SECMODEL;
        m_session.securityLevel = priv ? SNMP_SEC_LEVEL_AUTHPRIV : auth ? SNMP_SEC_LEVEL_AUTHNOPRIV : SNMP_SEC_LEVEL_NOAUTH;
        if (auth) {
            if (job.authMode < 0 || job.authMode > 1)
                return fail("Authentication mode is out of range", true);
            m_session.securityAuthProto = job.authMode == 0 ? usmHMACMD5AuthProtocol : usmHMACSHA1AuthProtocol;
            m_session.securityAuthProtoLen = 10;
            m_session.securityAuthKeyLen = USM_AUTH_KU_LEN;
            if (generate_Ku(m_session.securityAuthProto, 10, reinterpret_cast<const u_char*>(job.authPass.data()),
                            job.authPass.size(), m_session.securityAuthKey, &m_session.securityAuthKeyLen)
                != SNMPERR_SUCCESS)
                return fail("Error generating Ku from authentication password", true);
        }
        if (priv) {
            if (job.privProtocol < 0 || job.privProtocol > 2)
                return fail("Privacy protocol is out of range", true);
            oid* protocol = job.privProtocol == 1 ? usmDESPrivProtocol : usmAESPrivProtocol;
            m_session.securityPrivProto = protocol;
            m_session.securityPrivProtoLen = 10;
            m_session.securityPrivKeyLen = USM_PRIV_KU_LEN;
            if (generate_Ku(m_session.securityAuthProto, 10, reinterpret_cast<const u_char*>(job.privPass.data()),
                            job.privPass.size(), m_session.securityPrivKey, &m_session.securityPrivKeyLen)
                != SNMPERR_SUCCESS)
                return fail("Error generating Ku from encryption password", true);
        }
        // Engine-ID discovery is a network exchange: done below, outside the shared mutex.
        m_session.flags |= SNMP_FLAGS_DONT_PROBE;
        break;
    }
    default:
        return fail("Unsupported SNMP version", true);
    }
    // Four tries share the monitor's time-out; without one, Net-SNMP's default per try.
    if (timeoutMs > 0)
        m_session.timeout = static_cast<long>(timeoutMs) * 250;
    m_session.retries = 3;

    const bool v3 = job.version == 3;
    trace(m_job, QStringLiteral("open session to '%1', community='%2', version='%3', user '%4' with auth/priv='%5/%6'")
                     .arg(QString::fromStdString(job.peer), QString::fromLatin1(job.community.c_str()))
                     .arg(m_session.version)
                     .arg(v3 ? QString::fromStdString(job.securityName) : QStringLiteral("n/a"))
                     .arg(QLatin1String(v3 && auth ? authName(job.authMode) : "none"))
                     .arg(QLatin1String(v3 && priv ? privName(job.privProtocol) : "none")));
    {
        SnmpLockSection lock(mutex);
        if (v3)
            snmpusm::ensureDiscoveryUser();
        m_handle = snmp_sess_open(&m_session);
    }
    if (!m_handle)
        return fail("Cannot create SNMP session", true);
    if (v3) {
        if (discoverEngineId() != 0)
            return fail("Cannot create SNMP session", true);
        netsnmp_session* inner = snmp_sess_session(m_handle);
        snmpusm::LocalizedKeys keys;
        if (!snmpusm::localizeKeys(inner, keys))
            return fail("Cannot create SNMP session", true);
        int rc;
        {
            SnmpLockSection lock(mutex);
            rc = snmpusm::syncUser(inner, keys);
        }
        if (rc != SNMPERR_SUCCESS) {
            inner->s_snmp_errno = rc;
            return fail("Cannot create SNMP session", true);
        }
    }
    trace(m_job, QStringLiteral("open session ok"));
    return 0;
}

int CSnmpWorker::discoverEngineId()
{
    netsnmp_session* inner = snmp_sess_session(m_handle);
    if (!inner)
        return 1;
    if (inner->securityEngineIDLen != 0)
        return 0;
    // A request as the empty user without authentication: the agent's report names its engine.
    netsnmp_pdu* probe = snmp_pdu_create(SNMP_MSG_GET);
    if (!probe)
        return 1;
    probe->version = SNMP_VERSION_3;
    probe->securityName = strdup("");
    probe->securityNameLen = 0;
    probe->securityLevel = SNMP_SEC_LEVEL_NOAUTH;
    probe->securityModel = SNMP_SEC_MODEL_USM;
    netsnmp_pdu* answer = nullptr;
    const int status = snmp_sess_synch_response(m_handle, probe, &answer);
    if (answer)
        snmp_free_pdu(answer);
    if (inner->securityEngineIDLen == 0) {
        if (status == STAT_TIMEOUT)
            inner->s_snmp_errno = SNMPERR_TIMEOUT;
        return 1;
    }
    inner->s_snmp_errno = SNMPERR_SUCCESS;
    return 0;
}

int CSnmpWorker::executeRequest(int pduType, const QString& oidText, int& status)
{
    if (!m_handle)
        return m_job->onError("Cannot create SNMP session", &m_session, nullptr, 1);
    if (pduType != SNMP_MSG_GET)
        return fail("Unsupported request type", true);
    netsnmp_pdu* request = snmp_pdu_create(pduType);
    if (!request)
        return fail("Cannot create PDU", true);
    if (const int rc = addOid(request, oidText))
        return rc;
    trace(m_job, QStringLiteral("parse oid ok"));
    return sendRequest(request, status);
}

int CSnmpWorker::executeRequest(int pduType, const QStringList& oids, int& status)
{
    if (!m_handle)
        return m_job->onError("Cannot create SNMP session", &m_session, nullptr, 1);
    if (pduType != SNMP_MSG_GET)
        return fail("Multi-OID request supports SNMP_MSG_GET only", true);
    if (oids.isEmpty())
        return fail("Multi-OID request has no OIDs", true);
    netsnmp_pdu* request = snmp_pdu_create(SNMP_MSG_GET);
    if (!request)
        return fail("Cannot create PDU", true);
    for (const QString& oidText : oids) {
        if (const int rc = addOid(request, oidText))
            return rc;
    }
    trace(m_job, QStringLiteral("parse oids ok"));
    return sendRequest(request, status);
}

// Parses the OID into m_oid and adds it to the request; frees the request on failure.
int CSnmpWorker::addOid(netsnmp_pdu* request, const QString& oidText)
{
    trace(m_job, QStringLiteral("parse oid: '%1'").arg(oidText));
    const QByteArray latin = oidText.toLatin1();
    m_oidLength = MAX_OID_LEN;
    if (!snmp_parse_oid(latin.constData(), m_oid, &m_oidLength)) {
        snmp_free_pdu(request);
        return fail("Cannot parse OID", true);
    }
    if (!snmp_add_null_var(request, m_oid, m_oidLength)) {
        snmp_free_pdu(request);
        return fail("Cannot add OID to the PDU", false);
    }
    return 0;
}

int CSnmpWorker::sendRequest(netsnmp_pdu* request, int& status)
{
    freeResponse();
    trace(m_job, QStringLiteral("send request"));
    m_request = request;
    status = snmp_sess_synch_response(m_handle, request, &m_response);
    trace(m_job, QStringLiteral("send request ok"));
    return 0;
}

int CSnmpWorker::validateResponse()
{
    if (!m_response)
        return fail("Library returned NULL response", false);
    if (m_response->errstat != SNMP_ERR_NOERROR) {
        const QByteArray text = (QStringLiteral("Error in response: ")
                                 + QString::fromUtf8(snmp_errstring(static_cast<int>(m_response->errstat))))
                                    .toUtf8();
        return fail(text.constData(), false);
    }
    if (!m_response->variables)
        return fail("Response is empty", false);
    if (m_response->variables->next_variable)
        return fail("Response contains several values", false);
    return 0;
}

void CSnmpWorker::parseResponse(bool& notInteger, long& value) const
{
    const netsnmp_variable_list* var = m_response ? m_response->variables : nullptr;
    if (var && (var->type & ~0x40) == ASN_INTEGER && var->val.integer) {
        notInteger = false;
        value = *var->val.integer;
    } else {
        notInteger = true;
        value = 0;
    }
}

int CSnmpWorker::tryGetIntValue(const QString& oidText, CTimeWatcher& watcher, bool& notInteger, long& value)
{
    stZamMonitor* mon = m_job->monitor();
    if (!mon)
        return fail("Internal error: poll context has no monitor", true);
    int status = 0;
    const int rc = executeRequest(SNMP_MSG_GET, oidText, status);
    const uint32_t elapsed = watcher.elapsedMillisec();
    mon->resultValue = static_cast<int>(elapsed);
    if (rc != 0)
        return rc;
    // A failed request is a failure, however late it came back.
    if (status != STAT_SUCCESS) {
        if (status == STAT_ERROR && statErrorFreedRequest()) {
            forgetPdus();
            return fail("Cannot execute request, STAT_ERROR returned and request PDU should have freed by Net-SNMP", true);
        }
        return fail("Cannot execute request", true);
    }
    if (mon->timeout > 0 && elapsed >= static_cast<uint32_t>(mon->timeout)) {
        if (mon->mode == 1)
            return 1;
        mon->perfValue = 0;
        return 0;
    }
    if (m_response && m_response->errstat == SNMP_ERR_NOSUCHNAME) {
        notInteger = true;
        return 0;
    }
    if (const int bad = validateResponse())
        return bad;
    parseResponse(notInteger, value);
    return 0;
}

int CSnmpWorker::walkColumn(const QString& columnOid, QStringList& values)
{
    stZamMonitor* mon = m_job->monitor();
    if (!mon)
        return fail("Internal error: poll context has no monitor", true);
    const QByteArray latin = columnOid.toLatin1();
    oid column[MAX_OID_LEN];
    size_t columnLength = static_cast<size_t>(snmpOidLength(latin.toStdString()));
    if (columnLength > MAX_OID_LEN)
        columnLength = MAX_OID_LEN;
    // Capacity = number of dots: only a numeric OID with its leading dot fits.
    if (!snmp_parse_oid(latin.constData(), column, &columnLength))
        return fail("Cannot parse OID", true);
    oid last[MAX_OID_LEN];
    size_t lastLength = columnLength;
    std::memcpy(last, column, columnLength * sizeof(oid));
    for (int rows = 0;; ++rows) {
        if (monitorStillAlive(mon))
            return fail("SNMP operation aborted", true);
        netsnmp_pdu* request = snmp_pdu_create(SNMP_MSG_GETNEXT);
        if (!request)
            return fail("Cannot create PDU", true);
        if (!snmp_add_null_var(request, last, lastLength)) {
            snmp_free_pdu(request);
            return fail("Cannot add OID to the PDU", true);
        }
        freeResponse();
        m_request = request;
        const int status = snmp_sess_synch_response(m_handle, request, &m_response);
        if (status != STAT_SUCCESS) {
            const int rc = fail("Cannot execute SNMP request", true);
            freeResponse();
            return rc;
        }
        if (!m_response || m_response->errstat != SNMP_ERR_NOERROR)
            return 0;
        const netsnmp_variable_list* var = m_response->variables;
        if (snmpIsEmptyVar(var) || !snmpIsChildVar(var->name, var->name_length, column, columnLength))
            return 0;
        // An agent that repeats or goes back would keep the walk going for ever.
        if (snmp_oid_compare(var->name, var->name_length, last, lastLength) <= 0)
            return fail("SNMP agent returned OIDs out of order", false);
        // Checked on a row beyond the cap, so a column of exactly the cap's rows is whole.
        if (rows >= m_maxWalkRows)
            return fail("SNMP walk exceeds its row limit", false);
        if ((var->type & ~0x40) == ASN_INTEGER && var->val.integer) {
            values << QString::number(*var->val.integer);
        } else if (var->type == ASN_OCTET_STR) {
            values << QString::fromUtf8(reinterpret_cast<const char*>(var->val.string), static_cast<int>(var->val_len));
        } else {
            const int rc = fail("Unexpected variable type", true);
            freeResponse();
            return rc;
        }
        lastLength = var->name_length > MAX_OID_LEN ? MAX_OID_LEN : var->name_length;
        std::memcpy(last, var->name, lastLength * sizeof(oid));
    }
}

int CSnmpWorker::getColumn(const QString& columnOid, const QStringList& indexes, QStringList& values)
{
    for (const QString& index : indexes) {
        if (m_job->monitor() && monitorStillAlive(m_job->monitor()))
            return fail("SNMP operation aborted", true);
        int status = 0;
        if (const int rc = executeRequest(SNMP_MSG_GET, columnOid + QLatin1Char('.') + index, status))
            return rc;
        if (status == STAT_ERROR && statErrorFreedRequest()) {
            forgetPdus();
            return fail("Cannot execute request, STAT_ERROR returned and request PDU should have freed by Net-SNMP", true);
        }
        if (status != STAT_SUCCESS)
            return fail("Cannot execute request", true);
        if (m_response && m_response->errstat == SNMP_ERR_NOSUCHNAME) {
            values << QString();
            continue;
        }
        if (const int bad = validateResponse())
            return bad;
        const netsnmp_variable_list* var = m_response->variables;
        if ((var->type & ~0x40) == ASN_INTEGER && var->val.integer)
            values << QString::number(*var->val.integer);
        else if (var->type == ASN_OCTET_STR)
            values << QString::fromUtf8(reinterpret_cast<const char*>(var->val.string), static_cast<int>(var->val_len));
        else if (var->type == SNMP_NOSUCHOBJECT || var->type == SNMP_NOSUCHINSTANCE)
            values << QString();
        else
            return fail("Unexpected variable type", true);
    }
    return 0;
}

int CSnmpWorker::walkTable(const QString& tableOid, const QStringList& columns, QList<QStringList>& table,
                           unsigned& timestamp)
{
    stZamMonitor* mon = m_job->monitor();
    if (!mon)
        return fail("internal error: poll context has no monitor", true);
    if (columns.isEmpty())
        return fail("Cannot parse OID", false);
    const CSnmpTableCacheKey key{CSnmpServer(*m_job), tableOid, columns};
    CSnmpTableLocker entry(CSnmpTableCache::instance()->getLockedEntry(key, mon->stillAlive, mon->stillAliveContext));
    if (!entry)
        return fail("SNMP operation aborted", true);
    if (CSnmpTableCache::isFresh(*entry.operator->(), CTimeWatcher::nowMillisec())) {
        table = entry->table;
        timestamp = entry->end;
        mon->resultValue = static_cast<int>(entry->end - entry->start);
        return 0;
    }
    entry->valid = false;
    entry->table.clear();
    entry->start = CTimeWatcher::nowMillisec();
    QList<QStringList> fresh;
    QStringList indexes;
    if (const int rc = walkColumn(tableOid + columns.first(), indexes))
        return rc;
    indexes.removeAll(QStringLiteral("0"));
    fresh << indexes;
    for (int i = 1; i < columns.size(); ++i) {
        QStringList values;
        if (const int rc = getColumn(tableOid + columns.at(i), indexes, values))
            return rc;
        fresh << values;
    }
    entry->valid = true;
    entry->table = fresh;
    entry->end = CTimeWatcher::nowMillisec();
    table = fresh;
    timestamp = entry->end;
    mon->resultValue = static_cast<int>(entry->end - entry->start);
    return 0;
}
