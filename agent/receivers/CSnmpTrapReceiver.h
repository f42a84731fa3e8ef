#pragma once
#include "CSnmpTrap.h"
#include "common/RateLimitedLog.h"
#include "SnmpTrapUsers.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <vector>

class QSocketNotifier;
class SnmpTrapCredentials;
struct netsnmp_transport_s;
struct snmp_pdu;
struct snmp_session;

// Owns the trap port: one Net-SNMP server session that is kept out of the library's global
// session list (so the checks' reads never take its datagrams), read on this thread when its
// socket is readable. Each Trap-v1, Trap-v2 or Inform PDU becomes a trap record; informs are
// answered. Before Net-SNMP parses a v3 datagram, the plain header is read: when it names a
// subscribed user, that user is made for the sender's engine ID.
// Errors from the senders (unknown PDU types, PDUs with an error status) are counted and
// reported at most once per interval, never once per datagram.
// Threads: lives and runs on its connector thread. CPluginManager::snmpSharedMutex() is held
// for opening and closing and, per datagram, from the moment a datagram reads as SNMPv3 until
// Net-SNMP has parsed it (v3 users are shared with the checks); v1 and v2c datagrams need no
// shared state. Records are signalled after the lock is released.
// Ownership: the session, the notifier and the users it made are its own; the credential
// table is the manager's and outlives it.
class CSnmpTrapReceiver : public QObject
{
    Q_OBJECT
public:
    explicit CSnmpTrapReceiver(QObject* parent);
    ~CSnmpTrapReceiver() override;

    // Before listen.
    void setCredentials(SnmpTrapCredentials* credentials) { m_credentials = credentials; }

    // Every local IPv4 address; on failure emits error with the reason and answers false.
    bool listen(int port);
    void close();
    bool isListening() const { return m_session != nullptr; }

    // Datagrams read per readable signal at most; the rest come with the next one.
    static constexpr int kMaxDatagramsPerRead = 256;
    static constexpr qint64 kSenderErrorIntervalMs = 10000;

signals:
    void error(const QString& text);
    void dataReceived(CSnmpTrapPtr trap);

private:
    static int onPdu(int operation, snmp_session* session, int requestId, snmp_pdu* pdu, void* magic);
    static int receiveHook(netsnmp_transport_s* transport, void* buffer, int size, void** opaque, int* opaqueLength);

    void readDatagrams();
    void handlePdu(int operation, snmp_pdu* pdu);
    void noteSenderError(const QString& text);
    void localiseUser(const unsigned char* datagram, int size);

    void* m_session = nullptr;
    netsnmp_transport_s* m_transport = nullptr;
    int (*m_receive)(netsnmp_transport_s*, void*, int, void**, int*) = nullptr;
    QSocketNotifier* m_notifier = nullptr;
    SnmpTrapCredentials* m_credentials = nullptr;
    SnmpTrapUsers m_users;
    bool m_sharedLockHeld = false;   // taken by the receive hook for a v3 datagram
    std::vector<CSnmpTrapPtr> m_received;   // by onPdu under the shared lock, signalled after
    RateLimitedLog m_senderErrors{kSenderErrorIntervalMs};
    QString m_lastSenderError;
    QElapsedTimer m_clock;
};
