#include "VMwareStandIn.h"

#include "checks/SigpipeGuard.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char kEnvNs[] = "http://schemas.xmlsoap.org/soap/envelope/";
const char kXsiNs[] = "http://www.w3.org/2001/XMLSchema-instance";
const char kCookieName[] = "vmware_soap_session";
constexpr int kMaxHead = 64 * 1024;
constexpr int kMaxBody = 4 * 1024 * 1024;
constexpr qint64 kGiB = 1024LL * 1024 * 1024;

const QStringList kFieldNames{QStringLiteral("_this"),    QStringLiteral("userName"), QStringLiteral("password"),
                              QStringLiteral("pathSet"),  QStringLiteral("obj"),      QStringLiteral("counterId"),
                              QStringLiteral("instance"), QStringLiteral("entity"),   QStringLiteral("version")};

SSL_CTX* makeContext(QString& error)
{
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* cert = X509_new();
    bool ok = ctx && key && cert;
    if (ok) {
        X509_set_version(cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(cert), -60);
        X509_gmtime_adj(X509_getm_notAfter(cert), 86400);
        X509_set_pubkey(cert, key);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("esxi.test"), -1, -1, 0);
        X509_set_issuer_name(cert, name);
        ok = X509_sign(cert, key, EVP_sha256()) > 0 && SSL_CTX_use_certificate(ctx, cert) == 1
            && SSL_CTX_use_PrivateKey(ctx, key) == 1;
    }
    X509_free(cert);
    EVP_PKEY_free(key);
    if (!ok) {
        error = QStringLiteral("cannot make the certificate: %1").arg(ERR_error_string(ERR_get_error(), nullptr));
        SSL_CTX_free(ctx);
        return nullptr;
    }
    return ctx;
}

bool writeAll(SSL* ssl, const QByteArray& data)
{
    int done = 0;
    while (done < data.size()) {
        const int n = SSL_write(ssl, data.constData() + done, data.size() - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

void ref(QXmlStreamWriter& w, const QString& element, const QString& type, const QString& value)
{
    w.writeStartElement(element);
    w.writeAttribute(QStringLiteral("type"), type);
    w.writeCharacters(value);
    w.writeEndElement();
}

const char* reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 302: return "Found";
    case 404: return "Not Found";
    default: return "Internal Server Error";
    }
}

}  // namespace

VMwareStandIn::VMwareStandIn(quint16 port, const char* address) : m_address(QString::fromLatin1(address)), m_port(port)
{
    m_machines = {{QStringLiteral("vm-1"), QStringLiteral("vm1"), QStringLiteral("poweredOn")},
                  {QStringLiteral("vm-2"), QStringLiteral("vm2"), QStringLiteral("poweredOff")}};
    m_datastores = {{QStringLiteral("datastore-1"), QStringLiteral("ds1")}, {QStringLiteral("datastore-2"), QStringLiteral("ds2")}};
    m_disks.insert(QStringLiteral("vm-1"), {{10 * kGiB, 4 * kGiB}, {5 * kGiB, 1 * kGiB}});
    const QString host = QStringLiteral("ha-host");
    setCounter(host, QStringLiteral("1"), QString(), 2345);
    setCounter(host, QStringLiteral("5"), QString(), 2345);
    setCounter(host, QStringLiteral("23"), QString(), 4600);
    setCounter(host, QStringLiteral("65545"), QString(), 2097152);
    setCounter(host, QStringLiteral("65611"), QString(), 1048576);
    setCounter(host, QStringLiteral("196618"), QString(), 100);
    setCounter(host, QStringLiteral("196619"), QString(), 1000);
    setCounter(host, QStringLiteral("655364"), QStringLiteral("datastore-1"), 2500);
    setCounter(QStringLiteral("vm-1"), QStringLiteral("1"), QString(), 1200);
    setCounter(QStringLiteral("vm-1"), QStringLiteral("5"), QString(), 800);
    m_properties.insert(QStringLiteral("datastore-1|summary.capacity"), QString::number(100 * kGiB));
    m_properties.insert(QStringLiteral("datastore-1|summary.freeSpace"), QString::number(40 * kGiB));
    m_properties.insert(QStringLiteral("datastore-1|summary.uncommitted"), QString::number(2 * kGiB));
    m_properties.insert(QStringLiteral("datastore-2|summary.capacity"), QString::number(50 * kGiB));
    m_properties.insert(QStringLiteral("datastore-2|summary.freeSpace"), QString::number(10 * kGiB));
}

VMwareStandIn::~VMwareStandIn()
{
    stop();
    SSL_CTX_free(static_cast<SSL_CTX*>(m_sslCtx));
}

QString VMwareStandIn::address() const
{
    return m_port == 443 ? m_address : QStringLiteral("%1:%2").arg(m_address).arg(m_port);
}

bool VMwareStandIn::start()
{
    m_sslCtx = makeContext(m_error);
    if (!m_sslCtx)
        return false;
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(m_port);
    ::inet_pton(AF_INET, m_address.toLatin1().constData(), &sa.sin_addr);
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(m_listenFd, 256) != 0
        || ::pipe2(m_wakePipe, O_CLOEXEC) != 0) {
        m_error = QStringLiteral("cannot listen on %1:%2: %3").arg(m_address).arg(m_port).arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    socklen_t len = sizeof sa;
    ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&sa), &len);
    m_port = ntohs(sa.sin_port);
    m_acceptThread = std::thread([this] { acceptLoop(); });
    return true;
}

void VMwareStandIn::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        for (int fd : m_openFds)
            ::shutdown(fd, SHUT_RDWR);
    }
    m_changed.notify_all();
    if (m_wakePipe[1] >= 0)
        (void)::write(m_wakePipe[1], "x", 1);
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    std::vector<std::thread> connections;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        connections.swap(m_connections);
    }
    for (std::thread& t : connections)
        t.join();
    for (int* fd : {&m_listenFd, &m_wakePipe[0], &m_wakePipe[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void VMwareStandIn::acceptLoop()
{
    for (;;) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        // the handshake's small records would otherwise wait for the client's delayed ACK
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping) {
            ::close(fd);
            return;
        }
        m_openFds.insert(fd);
        m_connections.emplace_back([this, fd] { serve(fd); });
    }
}

void VMwareStandIn::serve(int fd)
{
    // clients drop connections in mid-answer (limits, stalls); the write then just fails
    SigpipeGuard sigpipe;
    SSL* ssl = SSL_new(static_cast<SSL_CTX*>(m_sslCtx));
    SSL_set_fd(ssl, fd);
    if (SSL_accept(ssl) == 1) {
        bool keepAlive = true;
        while (keepAlive && handleOne(ssl, keepAlive)) {
        }
    }
    SSL_free(ssl);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_openFds.erase(fd);
    ::close(fd);
}

bool VMwareStandIn::handleOne(void* handle, bool& keepAlive)
{
    SSL* ssl = static_cast<SSL*>(handle);
    QByteArray data;
    char buf[16384];
    int headEnd = -1;
    while ((headEnd = data.indexOf("\r\n\r\n")) < 0) {
        if (data.size() > kMaxHead)
            return false;
        const int n = SSL_read(ssl, buf, sizeof buf);
        if (n <= 0)
            return false;
        data.append(buf, n);
    }
    const QList<QByteArray> lines = data.left(headEnd).split('\n');
    const QByteArray requestLine = lines.value(0).trimmed();
    QByteArray cookie, contentType;
    bool soapAction = false;
    int contentLength = 0;
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const int colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "content-length")
            contentLength = value.toInt();
        else if (name == "cookie")
            cookie = value;
        else if (name == "content-type")
            contentType = value;
        else if (name == "soapaction")
            soapAction = true;
        else if (name == "connection" && value.toLower() == "close")
            keepAlive = false;
    }
    if (contentLength < 0 || contentLength > kMaxBody)
        return false;
    QByteArray body = data.mid(headEnd + 4);
    while (body.size() < contentLength) {
        const int n = SSL_read(ssl, buf, sizeof buf);
        if (n <= 0)
            return false;
        body.append(buf, n);
    }
    body.truncate(contentLength);

    Request request = parseRequest(body);
    request.cookie = cookie;
    request.contentType = contentType;
    request.soapAction = soapAction;
    Misbehaviour how;
    Answer reply;
    QByteArray newCookie;
    uint64_t stallGeneration = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_logging)
            m_log.append(request);
        how = takeMisbehaviour(request.operation);
        stallGeneration = m_stallGeneration;
        if (!requestLine.startsWith("POST /sdk/vimService "))
            reply = Answer{404, "not here", {}};
        else
            reply = answer(request, how == Misbehaviour::NoCookie ? nullptr : &newCookie);
    }
    m_changed.notify_all();

    switch (how) {
    case Misbehaviour::Stall: {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return m_stopping || m_stallGeneration != stallGeneration; });
        return false;
    }
    case Misbehaviour::Fault:
        reply = Answer{500, fault(QStringLiteral("Forced fault for %1").arg(request.operation)), {}};
        break;
    case Misbehaviour::Malformed:
        reply.body = "<soapenv:Envelope xmlns:soapenv=\"" + QByteArray(kEnvNs) + "\"><soapenv:Body><broken";
        break;
    case Misbehaviour::Redirect:
        reply = Answer{302, QByteArray(), "Location: https://127.0.0.1/elsewhere\r\n"};
        break;
    case Misbehaviour::Plain500:
        reply = Answer{500, "<html><body>Internal error</body></html>", {}};
        break;
    case Misbehaviour::Huge: {
        const qint64 total = 50LL * 1024 * 1024;
        QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: "
            + QByteArray::number(total) + "\r\n\r\n";
        if (!writeAll(ssl, head))
            return false;
        const QByteArray chunk(64 * 1024, ' ');
        for (qint64 sent = 0; sent < total; sent += chunk.size()) {
            if (!writeAll(ssl, chunk))
                return false;
        }
        return true;
    }
    case Misbehaviour::HugeChunked: {
        if (!writeAll(ssl, "HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\nTransfer-Encoding: chunked\r\n\r\n"))
            return false;
        const QByteArray chunk = QByteArray::number(64 * 1024, 16) + "\r\n" + QByteArray(64 * 1024, ' ') + "\r\n";
        for (int i = 0; i < 800; ++i) {
            if (!writeAll(ssl, chunk))
                return false;
        }
        return writeAll(ssl, "0\r\n\r\n");
    }
    default:
        break;
    }
    QByteArray out = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status)
        + "\r\nContent-Type: text/xml; charset=utf-8\r\n";
    if (!newCookie.isEmpty())
        out += "Set-Cookie: " + QByteArray(kCookieName) + '=' + newCookie + "; Path=/; HttpOnly; Secure\r\n";
    out += reply.extraHeaders;
    if (how == Misbehaviour::Truncated || how == Misbehaviour::PartialStall) {
        out += "Content-Length: " + QByteArray::number(reply.body.size() + 100) + "\r\n\r\n" + reply.body;
        writeAll(ssl, out);
        if (how == Misbehaviour::PartialStall) {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stopping || m_stallGeneration != stallGeneration; });
        }
        return false;
    }
    out += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n\r\n" + reply.body;
    return writeAll(ssl, out);
}

VMwareStandIn::Request VMwareStandIn::parseRequest(const QByteArray& body)
{
    Request request;
    request.body = body;
    QXmlStreamReader xml(body);
    bool inBody = false;
    QString pending;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QString name = xml.name().toString();
            if (inBody && request.operation.isEmpty())
                request.operation = name;
            inBody = inBody || name == QLatin1String("Body");
            pending = kFieldNames.contains(name) && !request.fields.contains(name) ? name : QString();
            if (!pending.isEmpty()) {
                request.fields.insert(pending, QString());
                const QString type = xml.attributes().value(QLatin1String("type")).toString();
                if (!type.isEmpty())
                    request.fields.insert(pending + QLatin1String(".type"), type);
            }
        } else if (token == QXmlStreamReader::Characters && !pending.isEmpty()) {
            request.fields[pending] += xml.text();
        } else if (token == QXmlStreamReader::EndElement) {
            pending.clear();
        }
    }
    if (xml.hasError())
        request.operation.clear();
    return request;
}

VMwareStandIn::Misbehaviour VMwareStandIn::takeMisbehaviour(const QString& operation)
{
    auto it = m_misbehaviour.find(operation);
    if (it == m_misbehaviour.end() || it->second.second == 0)
        return Misbehaviour::None;
    if (it->second.second > 0)
        --it->second.second;
    return it->second.first;
}

QByteArray VMwareStandIn::envelope(const std::function<void(QXmlStreamWriter&)>& body) const
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(m_indented);
    w.writeStartDocument();
    w.writeNamespace(QLatin1String(kEnvNs), QStringLiteral("soapenv"));
    w.writeNamespace(QStringLiteral("http://www.w3.org/2001/XMLSchema"), QStringLiteral("xsd"));
    w.writeNamespace(QLatin1String(kXsiNs), QStringLiteral("xsi"));
    w.writeStartElement(QLatin1String(kEnvNs), QStringLiteral("Envelope"));
    w.writeStartElement(QLatin1String(kEnvNs), QStringLiteral("Body"));
    body(w);
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

QByteArray VMwareStandIn::fault(const QString& text) const
{
    return envelope([&](QXmlStreamWriter& w) {
        w.writeStartElement(QLatin1String(kEnvNs), QStringLiteral("Fault"));
        w.writeTextElement(QStringLiteral("faultcode"), QStringLiteral("ServerFaultCode"));
        w.writeTextElement(QStringLiteral("faultstring"), text);
        w.writeEndElement();
    });
}

VMwareStandIn::Answer VMwareStandIn::answer(const Request& request, QByteArray* newCookie)
{
    const QString op = request.operation;
    const QString response = op + QLatin1String("Response");
    auto reply = [&](const std::function<void(QXmlStreamWriter&)>& content) {
        return Answer{200, envelope([&](QXmlStreamWriter& w) {
                          w.writeStartElement(response);
                          w.writeDefaultNamespace(QStringLiteral("urn:vim25"));
                          content(w);
                          w.writeEndElement();
                      }),
                      {}};
    };
    if (op.isEmpty())
        return Answer{500, fault(QStringLiteral("Malformed request")), {}};
    if (op == QLatin1String("RetrieveServiceContent")) {
        return reply([&](QXmlStreamWriter& w) {
            w.writeStartElement(QStringLiteral("returnval"));
            const QList<QPair<QString, QString>> managers{
                {QStringLiteral("rootFolder"), QStringLiteral("ha-folder-root")},
                {QStringLiteral("propertyCollector"), QStringLiteral("ha-property-collector")},
                {QStringLiteral("viewManager"), QStringLiteral("ViewManager")},
                {QStringLiteral("sessionManager"), QStringLiteral("ha-sessionmgr")},
                {QStringLiteral("perfManager"), QStringLiteral("ha-perfmgr")}};
            w.writeStartElement(QStringLiteral("about"));
            w.writeTextElement(QStringLiteral("name"), QStringLiteral("VMware ESXi"));
            w.writeTextElement(QStringLiteral("apiVersion"), QStringLiteral("6.7.3"));
            w.writeEndElement();
            for (const auto& m : managers) {
                if (!m_omitted.contains(m.first))
                    ref(w, m.first, m.first == QLatin1String("rootFolder") ? QStringLiteral("Folder") : m.first, m.second);
            }
            w.writeEndElement();
        });
    }
    if (op == QLatin1String("Login")) {
        if (request.fields.value(QStringLiteral("userName")) != m_user
            || request.fields.value(QStringLiteral("password")) != m_password)
            return Answer{500, fault(QStringLiteral("Cannot complete login due to an incorrect user name or password.")), {}};
        const QByteArray token = '"' + QByteArray::number(static_cast<qulonglong>(m_nextSession++ * 7919 + 1000003), 16) + '"';
        m_sessions.insert(token);
        if (newCookie)
            *newCookie = token;
        return reply([&](QXmlStreamWriter& w) {
            w.writeStartElement(QStringLiteral("returnval"));
            w.writeTextElement(QStringLiteral("key"), QString::fromLatin1(token).remove(QLatin1Char('"')));
            w.writeTextElement(QStringLiteral("userName"), m_user);
            w.writeEndElement();
        });
    }
    // everything else needs a session
    QByteArray session;
    for (const QByteArray& part : request.cookie.split(';')) {
        const QByteArray p = part.trimmed();
        if (p.startsWith(QByteArray(kCookieName) + '='))
            session = p.mid(static_cast<int>(sizeof kCookieName));
    }
    if (!m_sessions.count(session))
        return Answer{500, fault(QStringLiteral("The session is not authenticated.")), {}};
    if (op == QLatin1String("Logout")) {
        m_sessions.erase(session);
        m_sessionsWithFilter.erase(session);
        return reply([](QXmlStreamWriter&) {});
    }
    if (op == QLatin1String("CreateContainerView")) {
        return reply([&](QXmlStreamWriter& w) {
            ref(w, QStringLiteral("returnval"), QStringLiteral("ContainerView"), QStringLiteral("session[%1]view-1").arg(QString::fromLatin1(session)));
        });
    }
    if (op == QLatin1String("CreateFilter")) {
        m_sessionsWithFilter.insert(session);
        return reply([&](QXmlStreamWriter& w) {
            ref(w, QStringLiteral("returnval"), QStringLiteral("PropertyFilter"), QStringLiteral("session[%1]filter-1").arg(QString::fromLatin1(session)));
        });
    }
    if (op == QLatin1String("WaitForUpdates")) {
        const bool filtered = m_sessionsWithFilter.count(session) > 0;
        return reply([&](QXmlStreamWriter& w) {
            w.writeStartElement(QStringLiteral("returnval"));
            w.writeTextElement(QStringLiteral("version"), QStringLiteral("1"));
            if (filtered) {
                w.writeStartElement(QStringLiteral("filterSet"));
                auto entry = [&](const QString& type, const QString& id, const QString& name) {
                    w.writeStartElement(QStringLiteral("objectSet"));
                    w.writeTextElement(QStringLiteral("kind"), QStringLiteral("enter"));
                    ref(w, QStringLiteral("obj"), type, id);
                    w.writeStartElement(QStringLiteral("changeSet"));
                    w.writeTextElement(QStringLiteral("name"), QStringLiteral("name"));
                    w.writeTextElement(QStringLiteral("op"), QStringLiteral("assign"));
                    w.writeStartElement(QStringLiteral("val"));
                    w.writeAttribute(QLatin1String(kXsiNs), QStringLiteral("type"), QStringLiteral("xsd:string"));
                    w.writeCharacters(name);
                    w.writeEndElement();
                    w.writeEndElement();
                    w.writeEndElement();
                };
                entry(QStringLiteral("Folder"), QStringLiteral("ha-folder-root"), QStringLiteral("ha-folder-root"));
                entry(QStringLiteral("HostSystem"), QStringLiteral("ha-host"), QStringLiteral("esx1.test"));
                for (const Machine& m : m_machines)
                    entry(QStringLiteral("VirtualMachine"), m.id, m.name);
                for (const Datastore& d : m_datastores)
                    entry(QStringLiteral("Datastore"), d.id, d.name);
                w.writeEndElement();
            }
            w.writeEndElement();
        });
    }
    if (op == QLatin1String("RetrieveProperties")) {
        const QString obj = request.fields.value(QStringLiteral("obj"));
        const QString path = request.fields.value(QStringLiteral("pathSet"));
        const Machine* machine = nullptr;
        for (const Machine& m : m_machines) {
            if (m.id == obj)
                machine = &m;
        }
        const Datastore* datastore = nullptr;
        for (const Datastore& d : m_datastores) {
            if (obj == d.id)
                datastore = &d;
        }
        if (!machine && !datastore && obj != QLatin1String("ha-host"))
            return Answer{500, fault(QStringLiteral("The object '%1' has already been deleted or has not been completely created").arg(obj)), {}};
        // what the answer holds: a simple text, a list of references, or guest disks
        QString text;
        bool refs = false, disks = false;
        if (obj == QLatin1String("ha-host") && path == QLatin1String("datastore"))
            refs = !m_datastores.isEmpty();
        else if (machine && path == QLatin1String("guest.disk"))
            disks = !m_disks.value(obj).isEmpty();
        else if (machine && path == QLatin1String("runtime.powerState"))
            text = machine->state;
        else if (machine && (path == QLatin1String("name") || path == QLatin1String("summary.config.name")))
            text = machine->name;
        else if (datastore && (path == QLatin1String("summary.name") || path == QLatin1String("name")))
            text = datastore->name;
        else
            text = m_properties.value(obj + QLatin1Char('|') + path);
        if (text.isEmpty() && !refs && !disks)
            return reply([](QXmlStreamWriter&) {});
        return reply([&](QXmlStreamWriter& w) {
            w.writeStartElement(QStringLiteral("returnval"));
            ref(w, QStringLiteral("obj"), request.fields.value(QStringLiteral("obj.type")), obj);
            w.writeStartElement(QStringLiteral("propSet"));
            w.writeTextElement(QStringLiteral("name"), path);
            w.writeStartElement(QStringLiteral("val"));
            if (refs) {
                w.writeAttribute(QLatin1String(kXsiNs), QStringLiteral("type"), QStringLiteral("ArrayOfManagedObjectReference"));
                for (const Datastore& d : m_datastores)
                    ref(w, QStringLiteral("ManagedObjectReference"), QStringLiteral("Datastore"), d.id);
            } else if (disks) {
                w.writeAttribute(QLatin1String(kXsiNs), QStringLiteral("type"), QStringLiteral("ArrayOfGuestDiskInfo"));
                int n = 0;
                for (const auto& disk : m_disks.value(obj)) {
                    w.writeStartElement(QStringLiteral("GuestDiskInfo"));
                    w.writeTextElement(QStringLiteral("diskPath"), QStringLiteral("/disk%1").arg(n++));
                    w.writeTextElement(QStringLiteral("capacity"), QString::number(disk.first));
                    w.writeTextElement(QStringLiteral("freeSpace"), QString::number(disk.second));
                    w.writeEndElement();
                }
            } else {
                w.writeCharacters(text);
            }
            w.writeEndElement();
            w.writeEndElement();
            w.writeEndElement();
        });
    }
    if (op == QLatin1String("QueryPerf")) {
        const QString entity = request.fields.value(QStringLiteral("entity"));
        const QString counter = request.fields.value(QStringLiteral("counterId"));
        const QString instance = request.fields.value(QStringLiteral("instance"));
        const QString key = entity + QLatin1Char('|') + counter + QLatin1Char('|') + instance;
        if (!m_counters.contains(key))
            return reply([](QXmlStreamWriter&) {});
        return reply([&](QXmlStreamWriter& w) {
            w.writeStartElement(QStringLiteral("returnval"));
            w.writeAttribute(QLatin1String(kXsiNs), QStringLiteral("type"), QStringLiteral("PerfEntityMetric"));
            ref(w, QStringLiteral("entity"), request.fields.value(QStringLiteral("entity.type")), entity);
            w.writeStartElement(QStringLiteral("sampleInfo"));
            w.writeTextElement(QStringLiteral("timestamp"), QStringLiteral("2024-05-01T10:00:00Z"));
            w.writeTextElement(QStringLiteral("interval"), QStringLiteral("20"));
            w.writeEndElement();
            w.writeStartElement(QStringLiteral("value"));
            w.writeAttribute(QLatin1String(kXsiNs), QStringLiteral("type"), QStringLiteral("PerfMetricIntSeries"));
            w.writeStartElement(QStringLiteral("id"));
            w.writeTextElement(QStringLiteral("counterId"), counter);
            w.writeTextElement(QStringLiteral("instance"), instance);
            w.writeEndElement();
            w.writeTextElement(QStringLiteral("value"), m_counters.value(key));
            w.writeEndElement();
            w.writeEndElement();
        });
    }
    return Answer{500, fault(QStringLiteral("Unknown method %1").arg(op)), {}};
}

void VMwareStandIn::setIndented(bool indented)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_indented = indented;
}

void VMwareStandIn::setCredentials(const QString& user, const QString& password)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_user = user;
    m_password = password;
}

void VMwareStandIn::omitServiceContentField(const QString& name)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_omitted.append(name);
}

void VMwareStandIn::misbehave(const QString& operation, Misbehaviour how, int times)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_misbehaviour[operation] = {how, times};
}

void VMwareStandIn::clearMisbehaviour()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_misbehaviour.clear();
}

void VMwareStandIn::releaseStalls()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_stallGeneration;
    }
    m_changed.notify_all();
}

void VMwareStandIn::setMachines(const QList<Machine>& machines)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_machines = machines;
}

void VMwareStandIn::setDatastores(const QList<Datastore>& datastores)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_datastores = datastores;
}

void VMwareStandIn::setCounter(const QString& entity, const QString& counterId, const QString& instance, qint64 value)
{
    setCounterText(entity, counterId, instance, QString::number(value));
}

void VMwareStandIn::setCounterText(const QString& entity, const QString& counterId, const QString& instance,
                                   const QString& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_counters.insert(entity + QLatin1Char('|') + counterId + QLatin1Char('|') + instance, text);
}

void VMwareStandIn::clearCounters()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_counters.clear();
}

void VMwareStandIn::setGuestDisks(const QString& machineId, const QList<QPair<qint64, qint64>>& disks)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_disks.insert(machineId, disks);
}

void VMwareStandIn::setProperty(const QString& objectId, const QString& path, const QString& value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_properties.insert(objectId + QLatin1Char('|') + path, value);
}

QList<VMwareStandIn::Request> VMwareStandIn::requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
}

QStringList VMwareStandIn::operations() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QStringList out;
    for (const Request& r : m_log)
        out.append(r.operation);
    return out;
}

void VMwareStandIn::setLogging(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_logging = on;
}

void VMwareStandIn::clearLog()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.clear();
}

bool VMwareStandIn::waitForRequests(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_log.size() >= count; });
}

int VMwareStandIn::sessionCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_sessions.size());
}
