#include "AgentTestPeer.h"

#include "EventLoopWait.h"
#include "common/TemplateAttachment.h"

#include <QDataStream>
#include <QFile>
#include <QSslSocket>

namespace peer {

QByteArray header(qint32 id, qint32 type, qint32 length, quint8 magic)
{
    QByteArray h(kHeaderSize, '\0');
    h[0] = char(magic);
    const qint32 values[3] = {id, type, length};
    for (int v = 0; v < 3; ++v)
        for (int b = 0; b < 4; ++b)
            h[1 + v * 4 + b] = char((quint32(values[v]) >> (8 * b)) & 0xFF);
    return h;
}

QByteArray frame(qint32 id, qint32 type, const QList<Field>& fields)
{
    QByteArray body;
    for (const Field& f : fields) {
        if (!body.isEmpty())
            body += ',';
        body += f.key + '=' + f.value;
    }
    return header(id, type, body.size()) + body;
}

static qint32 le32(const char* p)
{
    return qint32(quint32(quint8(p[0])) | quint32(quint8(p[1])) << 8 | quint32(quint8(p[2])) << 16
                  | quint32(quint8(p[3])) << 24);
}

bool parseBody(const QByteArray& body, Message& out)
{
    int pos = 0;
    while (pos < body.size()) {
        const int eq = body.indexOf('=', pos);
        if (eq <= pos)
            return false;
        const QByteArray key = body.mid(pos, eq - pos);
        int v = eq + 1;
        if (body.mid(v, 4) == "RAW(") {
            const int comma = body.indexOf(',', v + 4);
            if (comma < 0)
                return false;
            bool ok = false;
            const int count = body.mid(v + 4, comma - v - 4).toInt(&ok);
            if (!ok || count < 0 || comma + 1 + count >= body.size() || body[comma + 1 + count] != ')')
                return false;
            out.raws.insert(key, body.mid(comma + 1, count));
            pos = comma + 1 + count + 1;
        } else {
            int end = body.indexOf(',', v);
            if (end < 0)
                end = body.size();
            bool ok = false;
            const qint64 n = body.mid(v, end - v).toLongLong(&ok);
            if (!ok)
                return false;
            out.nums.insert(key, n);
            pos = end;
        }
        if (pos < body.size()) {
            if (body[pos] != ',')
                return false;
            ++pos;
        }
    }
    return true;
}

bool takeFrames(QByteArray& buffer, QList<Message>& out)
{
    while (buffer.size() >= kHeaderSize) {
        if (quint8(buffer[0]) != 0xEA)
            return false;
        const qint32 length = le32(buffer.constData() + 9);
        if (length < 0)
            return false;
        if (buffer.size() < kHeaderSize + length)
            return true;
        Message m;
        m.id = le32(buffer.constData() + 1);
        m.type = le32(buffer.constData() + 5);
        m.bodyOk = parseBody(buffer.mid(kHeaderSize, length), m);
        out.append(m);
        buffer.remove(0, kHeaderSize + length);
    }
    return true;
}

QByteArray modeRecord(quint32 mode)
{
    QByteArray r;
    QDataStream s(&r, QIODevice::WriteOnly);
    s.setVersion(7);
    s << mode;
    return r;
}

quint32 readModeRecord(const QByteArray& record)
{
    QDataStream s(record);
    s.setVersion(7);
    quint32 mode = 0xFFFFFFFF;
    s >> mode;
    return mode;
}

QByteArray attachmentListRecord(int count, bool withContent)
{
    // The attachment record is the shared one of the daemon and its tools.
    QByteArray r;
    QDataStream s(&r, QIODevice::WriteOnly);
    s.setVersion(7);
    s << quint32(count);
    for (int i = 0; i < count; ++i) {
        STemplateAttachmentData a;
        a.id = i + 1;
        a.name = QStringLiteral("file%1").arg(i);
        a.fileName = QStringLiteral("file%1.txt").arg(i);
        a.type = 0;
        if (withContent) {
            a.content = QByteArray("content");
            s << a;
        } else {
            s << static_cast<const STemplateAttachment&>(a);
        }
    }
    return r;
}

Session::Session(QTcpSocket* socket) : m_socket(socket)
{
    socket->setParent(this);
    connect(socket, &QTcpSocket::readyRead, this, &Session::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, [this] { m_closed = true; });
}

Session::~Session() = default;

void Session::onReadyRead()
{
    if (!m_socket)
        return;
    m_buffer += m_socket->readAll();
    if (!takeFrames(m_buffer, messages))
        framingError = true;
}

void Session::send(const QByteArray& bytes)
{
    if (m_socket) {
        m_socket->write(bytes);
        m_socket->flush();
    }
}

void Session::sendByteByByte(const QByteArray& bytes)
{
    for (char c : bytes) {
        send(QByteArray(1, c));
        QTest::qWait(1);
    }
}

void Session::close()
{
    if (m_socket)
        m_socket->disconnectFromHost();
}

bool Session::waitFor(int type, Message& out, int timeoutMs)
{
    bool found = false;
    waitUntil([&] {
        for (int i = 0; i < messages.size(); ++i) {
            if (messages[i].type == type) {
                out = messages.takeAt(i);
                found = true;
                return true;
            }
        }
        return false;
    }, timeoutMs);
    return found;
}

QList<int> Session::types(bool skipPings) const
{
    QList<int> t;
    for (const Message& m : messages)
        if (!skipPings || m.type != msg::PingReq)
            t << m.type;
    return t;
}

bool Session::waitClosed(int timeoutMs)
{
    return waitUntil([this] { return m_closed; }, timeoutMs);
}

TlsIdentity loadTlsIdentity(const QString& certificatePath, const QString& keyPath)
{
    TlsIdentity id;
    id.certificate = QSslCertificate::fromPath(certificatePath).value(0);
    QFile f(keyPath);
    if (f.open(QIODevice::ReadOnly))
        id.key = QSslKey(f.readAll(), QSsl::Rsa);
    return id;
}

Listener::Listener(const TlsIdentity& tls) : m_tls(tls) {}

Listener::~Listener()
{
    qDeleteAll(sessions);
}

quint16 Listener::start()
{
    return listen(QHostAddress::LocalHost, 0) ? serverPort() : 0;
}

bool Listener::waitForSession(int count, int timeoutMs)
{
    return waitUntil([&] {
        int ready = 0;
        for (Session* s : sessions)
            ready += s->isReady() ? 1 : 0;
        return ready >= count;
    }, timeoutMs);
}

void Listener::incomingConnection(qintptr descriptor)
{
    if (m_tls.isNull()) {
        auto* socket = new QTcpSocket();
        socket->setSocketDescriptor(descriptor);
        auto* s = new Session(socket);
        s->markReady();
        sessions << s;
        return;
    }
    auto* socket = new QSslSocket();
    socket->setSocketDescriptor(descriptor);
    socket->setLocalCertificate(m_tls.certificate);
    socket->setPrivateKey(m_tls.key);
    socket->setPeerVerifyMode(QSslSocket::QueryPeer);
    auto* s = new Session(socket);
    connect(socket, &QSslSocket::encrypted, s, [s] { s->markReady(); });
    connect(socket, QOverload<const QList<QSslError>&>::of(&QSslSocket::sslErrors), socket,
            [socket](const QList<QSslError>&) { socket->ignoreSslErrors(); });
    sessions << s;
    socket->startServerEncryption();
}

Session* connectTo(quint16 port, const TlsIdentity& tls, int timeoutMs)
{
    if (tls.isNull()) {
        auto* socket = new QTcpSocket();
        auto* s = new Session(socket);
        socket->connectToHost(QHostAddress::LocalHost, port);
        if (!waitUntil([socket] { return socket->state() == QAbstractSocket::ConnectedState; }, timeoutMs)) {
            delete s;
            return nullptr;
        }
        s->markReady();
        return s;
    }
    auto* socket = new QSslSocket();
    socket->setLocalCertificate(tls.certificate);
    socket->setPrivateKey(tls.key);
    socket->setPeerVerifyMode(QSslSocket::VerifyNone);
    auto* s = new Session(socket);
    QObject::connect(socket, &QSslSocket::encrypted, s, [s] { s->markReady(); });
    socket->connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    if (!waitUntil([s] { return s->isReady(); }, timeoutMs)) {
        delete s;
        return nullptr;
    }
    return s;
}

} // namespace peer
