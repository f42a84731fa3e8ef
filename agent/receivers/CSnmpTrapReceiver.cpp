#include "CSnmpTrapReceiver.h"

#include "SnmpTrapCredentials.h"
#include "SnmpTrapRecordBuilder.h"
#include "SnmpV3Header.h"

#include "engine/CPluginManager.h"
#include "engine/NetSnmpLibrary.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/large_fd_set.h>

#include <QDebug>
#include <QHash>
#include <QHostAddress>
#include <QMutex>
#include <QMutexLocker>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <poll.h>

namespace {

// Which receiver a transport belongs to, for the receive hook: written when a receiver opens
// or closes, read inside its reads, under its own lock.
QHash<netsnmp_transport*, CSnmpTrapReceiver*>& receiverOfTransport()
{
    static QHash<netsnmp_transport*, CSnmpTrapReceiver*> table;
    return table;
}
QMutex& transportTableMutex()
{
    static QMutex mutex;
    return mutex;
}

class SharedLock
{
public:
    SharedLock() { pthread_mutex_lock(CPluginManager::snmpSharedMutex()); }
    ~SharedLock() { pthread_mutex_unlock(CPluginManager::snmpSharedMutex()); }
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;
};

bool hasPendingDatagram(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

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
    m_transport = transport;
    m_receive = transport->f_recv;
    transport->f_recv = &CSnmpTrapReceiver::receiveHook;
    {
        QMutexLocker locker(&transportTableMutex());
        receiverOfTransport().insert(transport, this);
    }
    m_notifier = new QSocketNotifier(transport->sock, QSocketNotifier::Read, this);
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
    SharedLock lock;
    m_users.removeAll();
    QMutexLocker locker(&transportTableMutex());
    receiverOfTransport().remove(m_transport);
    m_transport->f_recv = m_receive;
    locker.unlock();
    snmp_sess_close(m_session);   // closes and frees the transport too
    m_session = nullptr;
    m_transport = nullptr;
    m_receive = nullptr;
    m_received.clear();
}

void CSnmpTrapReceiver::readDatagrams()
{
    if (!m_session)
        return;
    const int fd = m_transport->sock;
    for (int i = 0; i < kMaxDatagramsPerRead; ++i) {
        // v1 and v2c messages touch no shared state of the library: only a v3 datagram takes
        // the shared lock (in the receive hook), one datagram per hold.
        netsnmp_large_fd_set fds;
        netsnmp_large_fd_set_init(&fds, fd + 1);
        NETSNMP_LARGE_FD_SET(fd, &fds);
        snmp_sess_read2(m_session, &fds);
        netsnmp_large_fd_set_cleanup(&fds);
        if (m_sharedLockHeld) {
            m_sharedLockHeld = false;
            pthread_mutex_unlock(CPluginManager::snmpSharedMutex());
        }
        for (const CSnmpTrapPtr& trap : m_received)
            emit dataReceived(trap);
        m_received.clear();
        if (!m_session || !hasPendingDatagram(fd))
            break;
    }
}

int CSnmpTrapReceiver::receiveHook(netsnmp_transport* transport, void* buffer, int size, void** opaque, int* opaqueLength)
{
    CSnmpTrapReceiver* receiver = nullptr;
    {
        QMutexLocker locker(&transportTableMutex());
        receiver = receiverOfTransport().value(transport);
    }
    if (!receiver || !receiver->m_receive)
        return -1;
    const int n = receiver->m_receive(transport, buffer, size, opaque, opaqueLength);
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    if (n > 0 && SnmpV3Header::isVersion3(bytes, static_cast<size_t>(n))) {
        // Held until Net-SNMP has parsed this datagram (readDatagrams releases it).
        if (!receiver->m_sharedLockHeld) {
            pthread_mutex_lock(CPluginManager::snmpSharedMutex());
            receiver->m_sharedLockHeld = true;
        }
        receiver->localiseUser(bytes, n);
    }
    return n;
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
    if (auto* receiver = static_cast<CSnmpTrapReceiver*>(magic))
        receiver->handlePdu(operation, pdu);
    return 1;
}

void CSnmpTrapReceiver::handlePdu(int operation, snmp_pdu* pdu)
{
    if (operation != NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE || !pdu) {
        noteSenderError(QStringLiteral("unknown trap received (%1): %2")
                            .arg(operation)
                            .arg(QStringLiteral("not a received message")));
        return;
    }
    if (!snmptrap::isNotification(pdu->command)) {
        noteSenderError(QStringLiteral("unknown trap received (%1): %2")
                            .arg(pdu->command)
                            .arg(libraryText(snmp_pdu_type(pdu->command))));
        return;
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
        return;
    }
    if (CSnmpTrap* trap = snmptrap::buildRecord(*pdu, senderOf(*pdu)))
        m_received.push_back(CSnmpTrapPtr(trap));
}

void CSnmpTrapReceiver::noteSenderError(const QString& text)
{
    m_lastSenderError = text;
    quint64 count = 0;
    if (!m_senderErrors.note(m_clock.elapsed(), count))
        return;
    emit error(count > 1 ? QStringLiteral("%1 (%2 such datagrams)").arg(text).arg(count) : text);
}
