#include "CSnmpTrapReceiver.h"

#include "SnmpTrapCredentials.h"
#include "SnmpTrapRecordBuilder.h"
#include "SnmpV3Header.h"

#include "engine/CPluginManager.h"
#include "engine/NetSnmpLibrary.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/snmp_secmod.h>

#include <QDebug>
#include <QHostAddress>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

class SharedLock
{
public:
    explicit SharedLock(bool take = true) : m_held(take)
    {
        if (m_held)
            pthread_mutex_lock(CPluginManager::snmpSharedMutex());
    }
    ~SharedLock() { release(); }
    void release()
    {
        if (m_held)
            pthread_mutex_unlock(CPluginManager::snmpSharedMutex());
        m_held = false;
    }
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;

private:
    bool m_held;
};

QString senderOf(const netsnmp_pdu& pdu)
{
    if (!pdu.transport_data || pdu.transport_data_length < static_cast<int>(sizeof(netsnmp_indexed_addr_pair)))
        return QString();
    const auto* pair = static_cast<const netsnmp_indexed_addr_pair*>(pdu.transport_data);
    if (pair->remote_addr.sa.sa_family != AF_INET)
        return QString();
    return QHostAddress(ntohl(pair->remote_addr.sin.sin_addr.s_addr)).toString();
}

QString libraryText(const char* text)
{
    return text ? QString::fromLocal8Bit(text) : QString();
}

// What the security model keeps of a message for its answer, released as Net-SNMP's own
// read releases it.
void freeSecurityState(netsnmp_pdu* pdu)
{
    if (!pdu->securityStateRef)
        return;
    if (snmp_secmod_def* model = find_sec_mod(pdu->securityModel))
        if (model->pdu_free_state_ref)
            model->pdu_free_state_ref(pdu->securityStateRef);
    pdu->securityStateRef = nullptr;
}

} // namespace

CSnmpTrapReceiver::CSnmpTrapReceiver(QObject* parent)
    : QObject(parent)
{
    m_clock.start();
}

CSnmpTrapReceiver::~CSnmpTrapReceiver()
{
    close();
    quint64 count = 0;
    if (m_senderErrors.flush(count))
        qWarning().noquote() << QStringLiteral("snmp trap receiver: %1 more unusable datagrams, the last: %2")
                                    .arg(count)
                                    .arg(m_lastSenderError);
}

bool CSnmpTrapReceiver::listen(int port)
{
    close();
    if (port < 0 || port > 65535) {
        emit error(QStringLiteral("port listening initialization failed: port %1 is out of range (%2)")
                       .arg(port)
                       .arg(SNMPERR_BAD_LOCPORT));
        return false;
    }
    NetSnmpLibrary::initOnce();
    SharedLock lock;
    const QByteArray endpoint = "udp:0.0.0.0:" + QByteArray::number(port);
    errno = 0;
    netsnmp_transport* transport = netsnmp_transport_open_server("snmptrap", endpoint.constData());
    if (!transport) {
        const int code = errno;
        emit error(QStringLiteral("port listening initialization failed: %1 (%2)")
                       .arg(libraryText(snmp_api_errstring(SNMPERR_BAD_LOCPORT))
                            + (code ? QStringLiteral(", ") + QString::fromLocal8Bit(strerror(code)) : QString()))
                       .arg(SNMPERR_BAD_LOCPORT));
        return false;
    }
    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.version = SNMP_DEFAULT_VERSION;
    settings.callback = &CSnmpTrapReceiver::onPdu;
    settings.callback_magic = this;
    // Discovery reports for v3 senders, as an authoritative engine for informs.
    settings.isAuthoritative = SNMP_SESS_UNKNOWNAUTH;
    void* session = snmp_sess_add(&settings, transport, nullptr, nullptr);
    if (!session) {
        emit error(QStringLiteral("SNMP traps receiver session initialization failed: %1 (%2)")
                       .arg(libraryText(snmp_api_errstring(snmp_errno)))
                       .arg(snmp_errno));
        return false;
    }
    m_session = session;
    m_sessionSettings = snmp_sess_session(session);
    m_transport = transport;
    socklen_t length = sizeof m_localAddress;
    std::memset(&m_localAddress, 0, sizeof m_localAddress);
    if (::getsockname(transport->sock, reinterpret_cast<sockaddr*>(&m_localAddress), &length) != 0)
        m_localAddress.sin_family = AF_INET;
    if (!m_pump.start(transport->sock)) {
        snmp_sess_close(session);
        m_session = nullptr;
        m_sessionSettings = nullptr;
        m_transport = nullptr;
        emit error(QStringLiteral("port listening initialization failed: the socket's reader thread did not start"));
        return false;
    }
    m_notifier = new QSocketNotifier(m_pump.readyFd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CSnmpTrapReceiver::readDatagrams);
    if (m_credentials)
        m_credentials->open();
    return true;
}

void CSnmpTrapReceiver::close()
{
    if (!m_session)
        return;
    if (m_credentials)
        m_credentials->close();
    delete m_notifier;
    m_notifier = nullptr;
    m_pump.stop();   // before the socket closes
    SharedLock lock;
    m_users.removeAll();
    snmp_sess_close(m_session);   // closes and frees the transport too
    m_session = nullptr;
    m_sessionSettings = nullptr;
    m_transport = nullptr;
}

void CSnmpTrapReceiver::readDatagrams()
{
    if (!m_session)
        return;
    const int total = m_pump.take(kMaxDatagramsPerRead, [this](const UdpDatagramPump::Datagram& d) { handleDatagram(d); });
    if (total > 0)
        emit readFinished();
}

void CSnmpTrapReceiver::handleDatagram(const UdpDatagramPump::Datagram& datagram)
{
    // v1 and v2c messages touch no shared state of the library: only a v3 datagram takes the
    // shared lock, one datagram per hold.
    const bool v3 = SnmpV3Header::isVersion3(datagram.bytes, static_cast<size_t>(datagram.size));
    SharedLock lock(v3);
    if (v3)
        localiseUser(datagram.bytes, datagram.size);
    netsnmp_pdu* pdu = parse(datagram);
    if (!pdu)
        return;
    const bool notification = handlePdu(NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE, pdu);
    if (pdu->command == SNMP_MSG_TRAP2)
        freeSecurityState(pdu);
    lock.release();
    if (notification)
        deliver(*pdu, senderText(datagram.sender));
    snmp_free_pdu(pdu);
}

netsnmp_pdu* CSnmpTrapReceiver::parse(const UdpDatagramPump::Datagram& datagram)
{
    // As Net-SNMP's own read makes it: the addresses go with the PDU, so an answer leaves from
    // the address the sender wrote to.
    auto* addresses = static_cast<netsnmp_indexed_addr_pair*>(calloc(1, sizeof(netsnmp_indexed_addr_pair)));
    auto* pdu = static_cast<netsnmp_pdu*>(calloc(1, sizeof(netsnmp_pdu)));
    if (!addresses || !pdu) {
        free(addresses);
        free(pdu);
        return nullptr;
    }
    std::memcpy(&addresses->remote_addr.sin, &datagram.sender, sizeof datagram.sender);
    addresses->local_addr.sin = m_localAddress;
    addresses->local_addr.sin.sin_addr = datagram.local;
    addresses->if_index = datagram.ifIndex;
    pdu->transport_data = addresses;
    pdu->transport_data_length = sizeof(netsnmp_indexed_addr_pair);
    pdu->tDomain = m_transport->domain;
    pdu->tDomainLen = m_transport->domain_length;
    const int result = snmp_parse(static_cast<session_list*>(m_session), m_sessionSettings, pdu, datagram.bytes,
                                  static_cast<size_t>(datagram.size));
    // Answers to requests of ours: this session sends none, so nothing waits for them.
    if (result != SNMP_ERR_NOERROR || (pdu->flags & UCD_MSG_FLAG_RESPONSE_PDU)) {
        freeSecurityState(pdu);
        snmp_free_pdu(pdu);
        return nullptr;
    }
    return pdu;
}

const QString& CSnmpTrapReceiver::senderText(const sockaddr_in& from)
{
    static const QString none;
    if (from.sin_family != AF_INET)
        return none;
    if (from.sin_addr.s_addr != m_lastSender || m_lastSenderText.isEmpty()) {
        m_lastSender = from.sin_addr.s_addr;
        m_lastSenderText = QHostAddress(ntohl(from.sin_addr.s_addr)).toString();
    }
    return m_lastSenderText;
}

void CSnmpTrapReceiver::localiseUser(const unsigned char* datagram, int size)
{
    SnmpV3Header header;
    if (!m_credentials || !SnmpV3Header::read(datagram, static_cast<size_t>(size), &header) || header.userName.isEmpty())
        return;
    SSnmpTrapCredential credential;
    quint64 generation = 0;
    if (m_credentials->find(header.userName, &credential, &generation))
        m_users.ensure(header.engineId, header.userName, credential, generation);
}

int CSnmpTrapReceiver::onPdu(int operation, snmp_session*, int, snmp_pdu* pdu, void* magic)
{
    // Net-SNMP calls this itself only from inside the parser (a v3 message whose
    // authentication failed is reported this way).
    auto* receiver = static_cast<CSnmpTrapReceiver*>(magic);
    if (receiver && receiver->handlePdu(operation, pdu))
        receiver->deliver(*pdu, senderOf(*pdu));
    return 1;
}

bool CSnmpTrapReceiver::handlePdu(int operation, snmp_pdu* pdu)
{
    if (operation != NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE || !pdu) {
        noteSenderError(QStringLiteral("unknown trap received (%1): %2")
                            .arg(operation)
                            .arg(QStringLiteral("not a received message")));
        return false;
    }
    if (!snmptrap::isNotification(pdu->command)) {
        noteSenderError(QStringLiteral("unknown trap received (%1): %2")
                            .arg(pdu->command)
                            .arg(libraryText(snmp_pdu_type(pdu->command))));
        return false;
    }
    if (pdu->command == SNMP_MSG_INFORM) {
        // Net-SNMP leaves the answer to the application.
        netsnmp_pdu* reply = snmp_clone_pdu(pdu);
        if (reply) {
            reply->command = SNMP_MSG_RESPONSE;
            reply->errstat = 0;
            reply->errindex = 0;
            if (!snmp_sess_send(m_session, reply))
                snmp_free_pdu(reply);
        }
    }
    if (pdu->command != SNMP_MSG_TRAP && pdu->errstat != 0) {
        noteSenderError(QStringLiteral("trap contains error (%1): %2")
                            .arg(pdu->errstat)
                            .arg(libraryText(snmp_errstring(static_cast<int>(pdu->errstat)))));
        return false;
    }
    return true;
}

void CSnmpTrapReceiver::deliver(const snmp_pdu& pdu, const QString& sender)
{
    // No subscription can match a trap from any other sender: its texts are never made.
    if (m_wanted && !m_wanted(sender))
        return;
    if (CSnmpTrap* trap = snmptrap::buildRecord(pdu, sender, &m_texts))
        emit dataReceived(CSnmpTrapPtr(trap));
}

void CSnmpTrapReceiver::noteSenderError(const QString& text)
{
    m_lastSenderError = text;
    quint64 count = 0;
    if (!m_senderErrors.note(m_clock.elapsed(), count))
        return;
    emit error(count > 1 ? QStringLiteral("%1 (%2 such datagrams)").arg(text).arg(count) : text);
}
