#include "engine/CAsyncResolver.h"

#include "common/WebUtils.h"
#include "core/CNetworkMonitor.h"
#include "engine/CTaskManager.h"

#include <QHostAddress>
#include <cxxabi.h>

CAsyncResolver::CAsyncResolver(QObject* parent)
    : CNetMonSysLight(parent, QStringLiteral("asynchronous resolver"))
    , m_nameOfAddress([](const QString& text, const QString& previous) {
        return WebUtils::getHostnameByIp(text, previous, true);
    })
    , m_addressOfName([](const QString& text, const QString& previous) {
        return WebUtils::getIpByHostname(text, previous);
    })
{
}

CAsyncResolver::~CAsyncResolver() = default;

void CAsyncResolver::setLookups(const LookupFn& nameOfAddress, const LookupFn& addressOfName)
{
    m_nameOfAddress = nameOfAddress;
    m_addressOfName = addressOfName;
}

void CAsyncResolver::setReporter(const ReportFn& report)
{
    m_report = report;
}

void CAsyncResolver::postAddForLookup(SResolveReqId requestId, bool addressFlag, const QString& text,
                                      const QString& previousAnswer)
{
    // Only a plug-in's request: the service waits for an answer to its own.
    if (resolveServiceRequestId(requestId) == 0 && m_recent.knows(addressFlag, text, previousAnswer))
        return;
    using Payload = TaskData4<SResolveReqId, bool, QString, QString, SAddForLookup>;
    ARTask<Payload>::post(m_queue, this, Payload{requestId, addressFlag, text, previousAnswer});
}

bool CAsyncResolver::runStep()
{
    if (isStopping())
        return false;
    m_queue.setServing(true);
    for (;;) {
        BasicTaskPtr<CAsyncResolver> task;
        if (m_queue.take(task) != ProtectedQueue<BasicTaskPtr<CAsyncResolver>>::Taken || isStopping())
            return false;
        try {
            task->exec();
        } catch (abi::__forced_unwind&) {
            throw;
        } catch (...) {
            qWarning("exception in asynchronous resolver");
        }
    }
}

void CAsyncResolver::shutdown()
{
    m_queue.setServing(false);
}

void CAsyncResolver::onStop()
{
    m_queue.stopAndDiscard();
    // A lookup in progress is given up, so stopping waits for no resolver.
    m_lookup.cancel();
    m_queue.stop(true);
}

void CAsyncResolver::onTerminate()
{
    shutdown();
    onStop();
}

void CAsyncResolver::handleTask(SAddForLookup, SResolveReqId requestId, bool addressFlag, const QString& text,
                                const QString& previousAnswer)
{
    ResolveRequestPtr request(new ResolveRequest{requestId, addressFlag, text, previousAnswer});
    const QString key = request->key();
    const auto waiting = m_pending.constFind(key);
    if (waiting == m_pending.constEnd()) {
        m_pending.insert(key, request);
        m_pendingOrder.append(request);
        ARTask<SResolveOne>::post(m_queue, this, SResolveOne());
        return;
    }
    // The same text waits already: one lookup serves both, and a request of the service
    // takes it over so that its answer goes out with the service's id.
    if (requestId >= 0)
        (*waiting)->requestId = requestId;
}

void CAsyncResolver::handleTask(const SResolveOne&)
{
    if (m_pendingOrder.isEmpty())
        return;
    const ResolveRequestPtr request = m_pendingOrder.takeFirst();
    m_pending.remove(request->key());

    const std::optional<QString> looked = lookUp(*request);
    if (looked)
        m_recent.remember(request->addressFlag, request->text, *looked);
    const QString answer = looked.value_or(QString());
    if (answer.isEmpty() || answer == request->previousAnswer)
        return;
    if (request->addressFlag) {
        report(request->requestId, true, request->text, answer);
        return;
    }
    QHostAddress address;
    if (!address.setAddress(answer) || address.protocol() != QAbstractSocket::IPv4Protocol)
        return;
    const QString addressText = address.toString();
    if (addressText != request->previousAnswer)
        report(request->requestId, false, request->text, addressText);
}

std::optional<QString> CAsyncResolver::lookUp(const ResolveRequest& request)
{
    const LookupFn fn = request.addressFlag ? m_nameOfAddress : m_addressOfName;
    if (!fn)
        return std::nullopt;
    const QString text = request.text;
    const QString previous = request.previousAnswer;
    QString answer;
    switch (m_lookup.run([fn, text, previous] { return fn(text, previous); }, m_lookupTimeoutMs, answer)) {
    case CBoundedLookup::Answered:
        return answer;
    case CBoundedLookup::TimedOut:
        qWarning("asynchronous resolver: no answer for %s within %d ms, lookup given up", qUtf8Printable(text),
                 m_lookupTimeoutMs);
        break;
    case CBoundedLookup::Refused:
        qWarning("asynchronous resolver: lookup of %s skipped, %d earlier lookups have not returned",
                 qUtf8Printable(text), m_lookup.abandonedCount());
        break;
    case CBoundedLookup::Cancelled:
        break;
    }
    return std::nullopt;
}

void CAsyncResolver::report(SResolveReqId requestId, bool addressFlag, const QString& text, const QString& answer)
{
    if (answer.isEmpty() && resolveServiceRequestId(requestId) == 0)
        return;
    if (m_report) {
        m_report(-1, requestId, addressFlag, text, answer);
        return;
    }
    taskManager()->resolveFinished(-1, requestId, addressFlag, text, answer);
}
