#pragma once
// A small stand-in for an ESXi server's SOAP web service, for tests and benchmarks: HTTPS with
// a self-signed certificate made at start, POST /sdk/vimService without any SOAPAction header,
// the eight operations the VMware client sends (RetrieveServiceContent, Login, Logout,
// CreateContainerView, CreateFilter, WaitForUpdates, RetrieveProperties, QueryPerf), a cookie
// session per login, and canned answers for one host ("ha-host") with two virtual machines
// (vm1 running, vm2 powered off) and two datastores (ds1, ds2) unless a test sets others.
// Answers come compact or indented; on demand an operation answers with a SOAP fault, stalls
// until released or stopped, or sends malformed, truncated, oversized (50 MB, announced or
// chunked), redirecting or plain-500 answers, or a login without its session cookie.
// Every request is logged with its body and cookie.
// Threads: an accept thread and one thread per connection; the settings and the log are
// guarded by one mutex, so tests may change them while clients run. The destructor stops and
// joins every thread.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

class QXmlStreamWriter;

class VMwareStandIn
{
public:
    // PartialStall: the whole document goes out under a longer Content-Length, then nothing more
    // until the stall is released.
    enum class Misbehaviour { None, Fault, Stall, PartialStall, Malformed, Truncated, Huge, HugeChunked, Redirect, Plain500, NoCookie };

    struct Request
    {
        QString operation;      // local name of the body's first element; empty when unreadable
        QByteArray body;
        QByteArray cookie;      // the Cookie header as sent
        QByteArray contentType;
        bool soapAction = false;
        QMap<QString, QString> fields;  // first text of _this, userName, password, pathSet, obj, counterId, instance, entity
    };

    struct Machine
    {
        QString id, name, state;
    };
    struct Datastore
    {
        QString id, name;
    };

    // port 0 picks a free one; address is an IPv4 address.
    explicit VMwareStandIn(quint16 port = 443, const char* address = "127.0.0.1");
    ~VMwareStandIn();
    VMwareStandIn(const VMwareStandIn&) = delete;
    VMwareStandIn& operator=(const VMwareStandIn&) = delete;

    bool start();
    void stop();
    QString error() const { return m_error; }
    quint16 port() const { return m_port; }
    // The address as the client's monitor names it: "127.0.0.1", or with ":port" when not 443.
    QString address() const;

    void setIndented(bool indented);
    void setCredentials(const QString& user, const QString& password);
    // The service content lacks this manager ("perfManager", ...).
    void omitServiceContentField(const QString& name);
    // The next `times` requests of this operation (all when negative) misbehave.
    void misbehave(const QString& operation, Misbehaviour how, int times = -1);
    void clearMisbehaviour();
    // Ends every stall now.
    void releaseStalls();

    void setMachines(const QList<Machine>& machines);
    void setDatastores(const QList<Datastore>& datastores);
    void setCounter(const QString& entity, const QString& counterId, const QString& instance, qint64 value);
    void clearCounters();
    // Raw text of a counter sample instead of a number.
    void setCounterText(const QString& entity, const QString& counterId, const QString& instance, const QString& text);
    // guest.disk of a machine: (capacity, free space) in bytes per disk; empty list: no tools.
    void setGuestDisks(const QString& machineId, const QList<QPair<qint64, qint64>>& disks);
    void setProperty(const QString& objectId, const QString& path, const QString& value);

    QList<Request> requests() const;
    QStringList operations() const;
    void clearLog();
    // Benchmarks keep no log: it would grow with every request.
    void setLogging(bool on);
    // Waits until the log holds at least `count` requests.
    bool waitForRequests(int count, int timeoutMs = 10000) const;
    int sessionCount() const;

private:
    struct Answer
    {
        int status = 200;
        QByteArray body;
        QByteArray extraHeaders;
    };

    void acceptLoop();
    void serve(int fd);
    bool handleOne(void* ssl, bool& keepAlive);
    Answer answer(const Request& request, QByteArray* newCookie);
    QByteArray envelope(const std::function<void(QXmlStreamWriter&)>& body) const;
    QByteArray fault(const QString& text) const;
    Misbehaviour takeMisbehaviour(const QString& operation);
    static Request parseRequest(const QByteArray& body);

    QString m_address;
    quint16 m_port;
    QString m_error;
    int m_listenFd = -1;
    int m_wakePipe[2] = {-1, -1};
    void* m_sslCtx = nullptr;
    std::thread m_acceptThread;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_stopping = false;
    uint64_t m_stallGeneration = 0;
    std::vector<std::thread> m_connections;
    std::set<int> m_openFds;
    QList<Request> m_log;
    bool m_logging = true;
    bool m_indented = false;
    QString m_user = QStringLiteral("root");
    QString m_password = QStringLiteral("secret");
    QStringList m_omitted;
    std::map<QString, std::pair<Misbehaviour, int>> m_misbehaviour;
    std::set<QByteArray> m_sessions;
    std::set<QByteArray> m_sessionsWithFilter;
    uint64_t m_nextSession = 1;
    QList<Machine> m_machines;
    QList<Datastore> m_datastores;
    QMap<QString, QString> m_counters;  // "entity|counter|instance" -> text
    QMap<QString, QList<QPair<qint64, qint64>>> m_disks;
    QMap<QString, QString> m_properties;  // "object|path" -> text
};
