#pragma once
#include "CSnmpTrap.h"
#include "common/RateLimitedLog.h"
#include "SnmpTrapTextCache.h"
#include "SnmpTrapUsers.h"
#include "UdpDatagramPump.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class QSocketNotifier;
class SnmpTrapCredentials;
struct netsnmp_transport_s;
struct snmp_pdu;
struct snmp_session;

// Owns the trap port: one Net-SNMP server session that is kept out of the library's global
// session list (so the checks' reads never take its datagrams). A pump drains the session's
// socket on a thread of its own, many datagrams per system call, so a burst that comes while
// this parses waits in memory instead of overflowing the socket; each datagram's bytes go to
// Net-SNMP's message parser with that session (so v3 security, discovery reports and inform
// answers are Net-SNMP's own): no receive buffer is allocated per datagram. Each Trap-v1,
// Trap-v2 or Inform PDU becomes a trap record; informs are answered. Before Net-SNMP parses a
// v3 datagram, the plain header is read: when it names a subscribed user, that user is made
// for the sender's engine ID. A notification from a sender no subscription names is answered
// but not made into a record. The records of one read are signalled, then readFinished.
// Errors from the senders (unknown PDU types, PDUs with an error status) are counted and
// reported at most once per interval, never once per datagram.
// Threads: lives and runs on its connector thread (the pump's reader thread only reads). CPluginManager::snmpSharedMutex() is held
// for opening and closing and, per SNMPv3 datagram, from making its user until Net-SNMP has
// parsed and answered it (v3 users are shared with the checks); v1 and v2c datagrams need no
// shared state. Records are built and signalled after the lock is released.
// Ownership: the session, the pump, the notifier, the text cache and the users it made are
// its own; the credential table is the manager's and outlives it.
class CSnmpTrapReceiver : public QObject
{
    Q_OBJECT
public:
    explicit CSnmpTrapReceiver(QObject* parent);
    ~CSnmpTrapReceiver() override;

    // Before listen.
    void setCredentials(SnmpTrapCredentials* credentials) { m_credentials = credentials; }
    // Which senders' notifications become records; unset, all do.
    void setSenderTest(const std::function<bool(const QString& sender)>& wanted) { m_wanted = wanted; }

    // Every local IPv4 address; on failure emits error with the reason and answers false.
    bool listen(int port);
    void close();
    bool isListening() const { return m_session != nullptr; }

    // Datagrams handled per wake-up at least (whole blocks), unless fewer wait; the rest
    // come with the next one.
    static constexpr int kMaxDatagramsPerRead = 256;
    static constexpr qint64 kSenderErrorIntervalMs = 10000;

signals:
    void error(const QString& text);
    void dataReceived(CSnmpTrapPtr trap);
    // After the records of one read: they can be handed on at once.
    void readFinished();

private:
    static int onPdu(int operation, snmp_session* session, int requestId, snmp_pdu* pdu, void* magic);

    void readDatagrams();
    void handleDatagram(const UdpDatagramPump::Datagram& datagram);
    snmp_pdu* parse(const UdpDatagramPump::Datagram& datagram);
    // Notes errors and answers informs; true for a notification that may become a record.
    bool handlePdu(int operation, snmp_pdu* pdu);
    void deliver(const snmp_pdu& pdu, const QString& sender);
    void noteSenderError(const QString& text);
    void localiseUser(const unsigned char* datagram, int size);
    const QString& senderText(const sockaddr_in& from);

    void* m_session = nullptr;
    snmp_session* m_sessionSettings = nullptr;   // the session's own copy, for the parser
    netsnmp_transport_s* m_transport = nullptr;
    sockaddr_in m_localAddress{};   // the bound address, the local half of an answer's addresses
    QSocketNotifier* m_notifier = nullptr;
    SnmpTrapCredentials* m_credentials = nullptr;
    SnmpTrapUsers m_users;
    std::function<bool(const QString&)> m_wanted;
    UdpDatagramPump m_pump;
    SnmpTrapTextCache m_texts;
    quint32 m_lastSender = 0;
    QString m_lastSenderText;
    // Records Net-SNMP's own callback made inside the parser, signalled after it returns.
    std::vector<CSnmpTrapPtr> m_fromCallback;
    RateLimitedLog m_senderErrors{kSenderErrorIntervalMs};
    QString m_lastSenderError;
    QElapsedTimer m_clock;
};
