#pragma once
// A stand-in for the central service, speaking the agent-link protocol on loopback. Written
// on its own (not with the daemon's codec): frames are a 13-byte (kHeaderSize) little-endian header
// (0xEA, id, type, body length) and a body of key=value pairs joined by ",", where a value
// is a decimal number or RAW(<byte count>,<bytes>).
// Threads: one; everything runs in the caller's event loop (use waitUntil to let it run).
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>
#include <QTcpSocket>

namespace peer {

constexpr int kHeaderSize = 13;

// Message type codes, named after the protocol's message classes; the peer keeps its own
// table so that a wrong code in the daemon cannot hide behind a shared constant.
namespace msg {
constexpr qint32 PingReq = 1;
constexpr qint32 PingResp = 2;
constexpr qint32 CheckConnectionReq = 3;
constexpr qint32 CheckConnectionResp = 4;
constexpr qint32 PollWithSettingsReq = 5;
constexpr qint32 PollReq = 6;
constexpr qint32 PollResp = 7;
constexpr qint32 ProtocolVersionNot = 8;
constexpr qint32 ProductVersionNot = 9;
constexpr qint32 SelfIdentificationNot = 10;
constexpr qint32 AbortPollNot = 11;
constexpr qint32 PluginDataNot = 12;
constexpr qint32 DeleteMonitorNot = 13;
constexpr qint32 LocalhostInfoNot = 14;
constexpr qint32 Upgrade = 15;
constexpr qint32 AgentStatus = 16;
constexpr qint32 SnmpReq = 17;
constexpr qint32 SnmpResp = 18;
constexpr qint32 SnmpData = 19;
constexpr qint32 ResolveReq = 20;
constexpr qint32 ResolveResp = 21;
constexpr qint32 DisconnectReason = 22;
constexpr qint32 SubscribeSnmp = 23;
constexpr qint32 UnsubscribeSnmp = 24;
constexpr qint32 MonitorEventNot = 25;
constexpr qint32 OsVersion = 26;
constexpr qint32 UpdateAgentLimits = 27;
constexpr qint32 SubscribeSyslog = 28;
constexpr qint32 UnsubscribeSyslog = 29;
constexpr qint32 CheckAttachmentsReq = 30;
constexpr qint32 CheckAttachmentsResp = 31;
constexpr qint32 CreateAttachmentsReq = 32;
constexpr qint32 CreateAttachmentsResp = 33;
constexpr qint32 DeleteAttachmentsNot = 34;
constexpr qint32 SetMode = 35;
constexpr qint32 ExtendedCaps = 36;
constexpr qint32 Last = ExtendedCaps;
} // namespace msg

// One body field as the peer writes it.
struct Field
{
    QByteArray key;
    QByteArray value;   // already in body form
    static Field num(const char* key, qint64 n) { return {key, QByteArray::number(n)}; }
    static Field raw(const char* key, const QByteArray& bytes)
    {
        return {key, "RAW(" + QByteArray::number(bytes.size()) + "," + bytes + ")"};
    }
};

QByteArray header(qint32 id, qint32 type, qint32 length, quint8 magic = 0xEA);
QByteArray frame(qint32 id, qint32 type, const QList<Field>& fields = {});

// A frame the agent sent, with its body split into numbers and raw values.
struct Message
{
    qint32 id = 0;
    qint32 type = 0;
    QMap<QByteArray, QByteArray> raws;
    QMap<QByteArray, qint64> nums;
    bool bodyOk = true;

    QString text(const char* key) const { return QString::fromUtf8(raws.value(key)); }
    qint64 num(const char* key, qint64 fallback = -999999) const { return nums.value(key, fallback); }
};

// Cuts complete frames from the front of buffer (consumed); false on a framing error.
bool takeFrames(QByteArray& buffer, QList<Message>& out);
// Splits a body into fields; false when it is malformed.
bool parseBody(const QByteArray& body, Message& out);

// The records the peer needs: QDataStream version 7, big-endian.
QByteArray modeRecord(quint32 mode);
quint32 readModeRecord(const QByteArray& record);
// The attachment list record: uint32 count and that many minimal attachment records.
QByteArray attachmentListRecord(int count, bool withContent);

// One connection between the peer and the agent.
class Session : public QObject
{
    Q_OBJECT
public:
    explicit Session(QTcpSocket* socket);
    ~Session() override;

    QTcpSocket* socket() const { return m_socket; }
    bool isClosed() const { return m_closed; }
    bool isReady() const { return m_ready; }
    void send(const QByteArray& bytes);
    // Writes the bytes one at a time, letting the event loop run between them.
    void sendByteByByte(const QByteArray& bytes);
    void close();

    // Everything received so far, in order; taken messages are removed.
    QList<Message> messages;
    bool framingError = false;
    // The first message of the type (removed), waiting up to timeoutMs; null id when none.
    bool waitFor(int type, Message& out, int timeoutMs = 10000);
    // The types received so far, skipping pings when asked.
    QList<int> types(bool skipPings = true) const;
    bool waitClosed(int timeoutMs = 10000);

    void markReady() { m_ready = true; }

private:
    void onReadyRead();

    QPointer<QTcpSocket> m_socket;
    QByteArray m_buffer;
    bool m_closed = false;
    bool m_ready = false;
};

struct TlsIdentity
{
    QSslCertificate certificate;
    QSslKey key;
    bool isNull() const { return certificate.isNull() || key.isNull(); }
};
TlsIdentity loadTlsIdentity(const QString& certificatePath, const QString& keyPath);

// Plays the service in active mode: listens on 127.0.0.1 and takes the agent's connections.
class Listener : public QTcpServer
{
    Q_OBJECT
public:
    // tls: null for plain TCP.
    explicit Listener(const TlsIdentity& tls = TlsIdentity());
    ~Listener() override;
    quint16 start();

    QList<Session*> sessions;   // owned, in arrival order
    bool waitForSession(int count, int timeoutMs = 10000);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    TlsIdentity m_tls;
};

// Plays the service in passive mode: connects to the agent's server.
Session* connectTo(quint16 port, const TlsIdentity& tls = TlsIdentity(), int timeoutMs = 10000);

} // namespace peer
