#include "VMwareClient.h"

#include "VMwareMetrics.h"
#include "VMwareSoapRequest.h"
#include "common/TestTimeScale.h"
#include "zam_monitor_helpers.h"

#include <algorithm>

namespace {

const char kNotConnected[] = "not connected to ESXi Server";
const char kBadCredentials[] = "incorrect credentials";
const char kNotSupported[] = "monitoring metric is not supported for current object";
const char kNoTools[] = "need to install VMware Tools on virtual machine";
const char kPasswordMask[] = "********";

}  // namespace

VMwareClient::VMwareClient()
{
    m_transport.setStopTest([this] { return m_monitor && monitorStillAlive(m_monitor) != 0; });
}

VMwareClient::~VMwareClient()
{
    logout();
}

void VMwareClient::setMonitor(stZamMonitor* mon)
{
    m_monitor = mon;
    m_budget.start(mon && mon->timeout > 0 ? mon->timeout : 0);
}

void VMwareClient::detach()
{
    m_monitor = nullptr;
    m_budget.start(0);
}

void VMwareClient::log(const QString& text) const
{
    if (m_monitor)
        zamLogMonitorPlugin_QStr(m_monitor, text);
}

int VMwareClient::exchangeLimit() const
{
    return zam::scaledMs(kExchangeLimitMs);
}

bool VMwareClient::send(const QByteArray& request, QByteArray& response)
{
    return send(request, response, exchangeLimit());
}

bool VMwareClient::send(const QByteArray& request, QByteArray& response, int limitMs)
{
    m_error.clear();
    response.clear();
    m_answered = false;
    const VMwareTransport::Outcome outcome = m_transport.post(request, limitMs);
    switch (outcome) {
    case VMwareTransport::Stopped:
        m_error = QStringLiteral("stopped by service");
        return false;
    case VMwareTransport::TooLarge:
        m_answered = true;
        m_error = QStringLiteral("answer from %1 is larger than %2 MB").arg(m_host).arg(VMwareTransport::kMaxAnswerBytes >> 20);
        return false;
    case VMwareTransport::NoConnection:
        log(QStringLiteral("exchange failed: %1").arg(m_transport.detail()));
        m_error = QStringLiteral("no connection on %1").arg(m_host);
        return false;
    case VMwareTransport::Answered:
        break;
    }
    m_answered = true;
    const long status = m_transport.status();
    const QByteArray& body = m_transport.body();
    // faults come with status 500; any other answer counts only with a 2xx status and a body
    if (body.isEmpty() || ((status < 200 || status > 299) && VMwareSoapReader::readFault(body, nullptr) != VMwareSoapReader::Fault)) {
        log(QStringLiteral("HTTP status %1 with %2 bytes").arg(status).arg(body.size()));
        m_error = QStringLiteral("no connection on %1").arg(m_host);
        return false;
    }
    response = body;
    return true;
}

bool VMwareClient::sendLogged(const QByteArray& request, const QByteArray& logged, QByteArray& response)
{
    log(QStringLiteral("set request"));
    log(QStringLiteral("set request ok: '%1").arg(QString::fromUtf8(logged)));
    log(QStringLiteral("send request"));
    return send(request, response);
}

bool VMwareClient::accept(VMwareSoapReader::Status status, const QString& faultText)
{
    switch (status) {
    case VMwareSoapReader::Ok:
        return true;
    case VMwareSoapReader::Fault:
        m_error = faultText.isEmpty() ? QStringLiteral("ESXi Server fault") : QStringLiteral("ESXi Server fault: %1").arg(faultText);
        return false;
    case VMwareSoapReader::Malformed:
        m_error = QStringLiteral("malformed answer from %1").arg(m_host);
        return false;
    }
    return false;
}

bool VMwareClient::connectToServer(const QString& host, const QString& user, const QString& password)
{
    m_host = host;
    m_transport.setHost(host);
    m_transport.clearCookies();
    m_loggedIn = false;
    m_filterCreated = false;
    log(QStringLiteral("connect to '%1' as '%2'").arg(host, user));
    if (!initServiceObject()) {
        log(QStringLiteral("service content: %1").arg(m_error));
        m_error = QString::fromLatin1(kNotConnected);
        log(m_error);
        return false;
    }
    if (!authorization(user, password)) {
        log(QStringLiteral("login: %1").arg(m_error));
        m_error = QString::fromLatin1(kBadCredentials);
        log(m_error);
        return false;
    }
    m_loggedIn = true;
    log(QStringLiteral("connect ok"));
    return true;
}

bool VMwareClient::initServiceObject()
{
    const QByteArray request = VMwareSoapRequest::retrieveServiceContent();
    QByteArray answer;
    if (!sendLogged(request, request, answer))
        return false;
    VMwareSoapReader::ServiceContent content;
    QString fault;
    if (!accept(VMwareSoapReader::readServiceContent(answer, content, &fault), fault))
        return false;
    if (!content.complete()) {
        m_error = QStringLiteral("service content lacks a manager");
        return false;
    }
    m_rootFolder = content.rootFolder;
    m_sessionManager = content.sessionManager;
    m_viewManager = content.viewManager;
    m_perfManager = content.perfManager;
    m_propertyCollector = content.propertyCollector;
    log(QStringLiteral("send request ok"));
    return true;
}

bool VMwareClient::authorization(const QString& user, const QString& password)
{
    // the trace never carries the password
    const QByteArray logged = VMwareSoapRequest::login(m_sessionManager, user, QLatin1String(kPasswordMask));
    QByteArray answer;
    if (!sendLogged(VMwareSoapRequest::login(m_sessionManager, user, password), logged, answer))
        return false;
    QString fault;
    if (!accept(VMwareSoapReader::readFault(answer, &fault), fault))
        return false;
    log(QStringLiteral("send request ok"));
    return true;
}

bool VMwareClient::logout()
{
    if (!m_loggedIn || !m_answered)
        return false;
    m_loggedIn = false;
    const uint32_t remaining = m_budget.remainingTimeMillisec();
    if (remaining == 0) {
        log(QStringLiteral("logout skipped: the poll's time is up"));
        return false;
    }
    const int limit = static_cast<int>(std::min<uint32_t>(remaining, static_cast<uint32_t>(zam::scaledMs(kLogoutLimitMs))));
    log(QStringLiteral("logout"));
    QByteArray answer;
    QString fault;
    const bool ok = send(VMwareSoapRequest::logout(m_sessionManager), answer, limit)
        && accept(VMwareSoapReader::readFault(answer, &fault), fault);
    m_transport.clearCookies();
    m_filterCreated = false;
    log(ok ? QStringLiteral("logout ok") : QStringLiteral("logout: %1").arg(m_error));
    return ok;
}

bool VMwareClient::getObjectList(VMwareObjectType type, QList<VMwareObject>& objects)
{
    objects.clear();
    QByteArray answer;
    QString fault;
    if (!m_filterCreated) {
        QString view;
        if (!send(VMwareSoapRequest::createContainerView(m_viewManager, m_rootFolder), answer)
            || !accept(VMwareSoapReader::readContainerView(answer, view, &fault), fault))
            return false;
        if (view.isEmpty()) {
            m_error = QStringLiteral("no container view from %1").arg(m_host);
            return false;
        }
        if (!send(VMwareSoapRequest::createFilter(m_propertyCollector, view, m_rootFolder), answer)
            || !accept(VMwareSoapReader::readFault(answer, &fault), fault))
            return false;
        m_filterCreated = true;
    }
    if (!send(VMwareSoapRequest::waitForUpdates(m_propertyCollector), answer)
        || !accept(VMwareSoapReader::readObjects(answer, type, objects, &fault), fault))
        return false;
    if (objects.isEmpty()) {
        m_error = QStringLiteral("no %1 found on %2").arg(vmwareTypeName(type), m_host);
        return false;
    }
    return true;
}

bool VMwareClient::getVirtualMachineObjects(QList<VMwareObject>& objects)
{
    return getObjectList(VMwareVirtualMachine, objects);
}

bool VMwareClient::getHostObject(VMwareObject& host)
{
    QList<VMwareObject> hosts;
    if (!getObjectList(VMwareHostSystem, hosts))
        return false;
    host = hosts.first();
    return true;
}

bool VMwareClient::initHypervisorSystemId()
{
    VMwareObject host;
    if (!getHostObject(host))
        return false;
    m_hypervisorSystemId = host.id;
    return true;
}

bool VMwareClient::getDatastoreObjects(QList<VMwareObject>& objects)
{
    objects.clear();
    QStringList ids;
    if (!retrieveProperties(VMwareHostSystem, m_hypervisorSystemId, QStringLiteral("datastore"),
                            QStringLiteral("ManagedObjectReference"), ids))
        return false;
    for (const QString& id : ids) {
        QStringList names;
        if (!retrieveProperties(VMwareDatastore, id.trimmed(), QStringLiteral("summary.name"), QStringLiteral("val"), names))
            return false;
        objects.append(VMwareObject{VMwareDatastore, id.trimmed(), names.first()});
    }
    return true;
}

bool VMwareClient::getVirtualMachineState(const VMwareObject& machine, QString& state)
{
    state.clear();
    QStringList values;
    if (!retrieveProperties(VMwareVirtualMachine, machine.id, QStringLiteral("runtime.powerState"), QStringLiteral("val"),
                            values))
        return false;
    state = values.first().trimmed();
    return true;
}

bool VMwareClient::retrieveProperties(VMwareObjectType type, const QString& id, const QString& path,
                                      const QString& element, QStringList& values)
{
    values.clear();
    const QByteArray request = VMwareSoapRequest::retrieveProperties(m_propertyCollector, type, id, path);
    QByteArray answer;
    QString fault;
    if (!sendLogged(request, request, answer)
        || !accept(VMwareSoapReader::readElementTexts(answer, element, values, &fault), fault))
        return false;
    if (values.isEmpty()) {
        m_error = QString::fromLatin1(kNotSupported);
        return false;
    }
    log(QStringLiteral("send request ok"));
    return true;
}

bool VMwareClient::retrieveProperties(const QString& path, const QString& element, QStringList& values)
{
    return retrieveProperties(m_object.type, m_object.id, path, element, values);
}

bool VMwareClient::queryPerformance(const QString& counterId, qint64& value)
{
    value = -1;
    // datastore counters are kept on the host, one instance per datastore
    const bool datastore = m_object.type == VMwareDatastore;
    const QByteArray request = VMwareSoapRequest::queryPerf(
        m_perfManager, datastore ? VMwareHostSystem : m_object.type, datastore ? m_hypervisorSystemId : m_object.id,
        counterId, datastore ? m_object.id : QString());
    QByteArray answer;
    QString fault;
    QString text;
    if (!sendLogged(request, request, answer) || !accept(VMwareSoapReader::readPerfValue(answer, text, &fault), fault))
        return false;
    qint64 sample = -1;
    // -1 is the server's own "no sample"
    if (text.isEmpty() || (toNumber(text, sample) && sample == -1)) {
        m_error = QString::fromLatin1(kNotSupported);
        return false;
    }
    if (!toNumber(text, sample))
        return false;
    value = sample;
    log(QStringLiteral("send request ok"));
    return true;
}

bool VMwareClient::toNumber(const QString& text, qint64& value)
{
    bool ok = false;
    value = text.trimmed().toLongLong(&ok, 10);
    if (!ok)
        m_error = QStringLiteral("malformed answer from %1").arg(m_host);
    return ok;
}

bool VMwareClient::firstNumber(const QStringList& texts, qint64& value)
{
    return !texts.isEmpty() && toNumber(texts.first(), value);
}

bool VMwareClient::guestDiskSum(const QString& element, qint64& sum)
{
    sum = 0;
    QStringList values;
    if (!retrieveProperties(QStringLiteral("guest.disk"), element, values)) {
        // an answer without guest disks: the guest tools do not report them
        if (m_error == QLatin1String(kNotSupported))
            m_error = QString::fromLatin1(kNoTools);
        return false;
    }
    for (const QString& text : values) {
        qint64 one = 0;
        if (!toNumber(text, one))
            return false;
        if (__builtin_add_overflow(sum, one, &sum)) {
            m_error = QStringLiteral("malformed answer from %1").arg(m_host);
            return false;
        }
    }
    sum /= 1024;
    return true;
}

bool VMwareClient::getResult(int metric, int unit, qint64& value)
{
    using namespace VMwareMetrics;
    value = -1;
    m_error.clear();
    if (!isKnownMetric(metric)) {
        m_error = QStringLiteral("Unknown metric");
        return false;
    }
    qint64 result = 0;
    bool ok = false;
    switch (metric) {
    case kGuestDiskCapacity:
        ok = guestDiskSum(QStringLiteral("capacity"), result);
        break;
    case kGuestDiskFree:
        ok = guestDiskSum(QStringLiteral("freeSpace"), result);
        break;
    case kGuestDiskUsed: {
        qint64 capacity = 0, free = 0;
        ok = guestDiskSum(QStringLiteral("capacity"), capacity) && guestDiskSum(QStringLiteral("freeSpace"), free);
        result = capacity - free;
        break;
    }
    case kDatastoreCapacity:
    case kDatastoreFree:
    case kDatastoreUncommitted: {
        const QString path = metric == kDatastoreCapacity ? QStringLiteral("summary.capacity")
            : metric == kDatastoreFree                   ? QStringLiteral("summary.freeSpace")
                                                          : QStringLiteral("summary.uncommitted");
        QStringList values;
        ok = retrieveProperties(path, QStringLiteral("val"), values) && firstNumber(values, result);
        result /= 1024;
        break;
    }
    default:
        ok = queryPerformance(counterForMetric(metric, unit), result);
        break;
    }
    if (!ok)
        return false;
    value = result;
    return true;
}
