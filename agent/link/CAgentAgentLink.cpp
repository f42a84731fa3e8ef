#include "CAgentAgentLink.h"

#include "AgentMessages.h"
#include "CAgentAgentManager.h"
#include "CAgentWorkerThreadSlots.h"
#include "CAuthenticatedAgentLinkEvent.h"
#include "CDisconnectedAgentLinkEvent.h"
#include "ExtendedCapsReport.h"
#include "ILinkEngine.h"
#include "common/CAgentConnection.h"
#include "common/TestTimeScale.h"

#include <QDebug>
#include <QTimer>

namespace {
constexpr int kProtocolMajor = 3;
constexpr int kProtocolMinor = 1;
constexpr int kProductVersion = 354;

// Limits the service may set; anything else is ignored (-1 keeps the current value).
struct SLimitRange
{
    const char* key;
    int min;
    int max;
};
constexpr SLimitRange kThreadLimit{"thread_limit", -1, 2048};
constexpr SLimitRange kCpuLimit{"cpu_limit", -1, 100};
constexpr SLimitRange kWtmLimit{"wtm_limit", -1, 86400};

int checkedLimit(const SLimitRange& range, int value)
{
    if (value >= range.min && value <= range.max)
        return value;
    qWarning().noquote() << QStringLiteral("limit %1=%2 is out of range %3..%4, ignored")
                                .arg(QLatin1String(range.key))
                                .arg(value)
                                .arg(range.min)
                                .arg(range.max);
    return -1;
}
}

CAgentAgentLink::CAgentAgentLink(CAgentAgentManager* manager, int linkId) : m_manager(manager), m_linkId(linkId)
{
    m_clock.start();
    m_lastReceivedMs = 0;
    m_connectedMs = 0;
}

CAgentAgentLink::~CAgentAgentLink()
{
    if (QThread::currentThread() != this)
        wait();
}

ILinkEngine& CAgentAgentLink::engine() const
{
    return m_manager->engine();
}

void CAgentAgentLink::postPollResult(const CLinkPollPtr& poll)
{
    AALTask<TaskData1<CLinkPollPtr, SSendPollResultTask>>::post(*taskQueue(), this, {poll});
}

void CAgentAgentLink::postMonitorEvent(int monitorId, const CMonitorEventPtr& event)
{
    AALTask<TaskData2<int, CMonitorEventPtr, SSendMonitorEventTask>>::post(*taskQueue(), this, {monitorId, event});
}

void CAgentAgentLink::postExtendedCaps(int requestId)
{
    AALTask<TaskData1<int, SSendExtendedCapsTask>>::post(*taskQueue(), this, {requestId});
}

void CAgentAgentLink::disconnectAgent()
{
    postDisconnect(QStringLiteral("agent was disconnected"));
}

void CAgentAgentLink::scheduleReconnect()
{
    if (m_reconnectRequested)
        return;
    m_reconnectRequested = true;
    m_manager->scheduleReconnect(m_agentId, zam::scaledMs(kReconnectMs));
}

void CAgentAgentLink::createTimers()
{
    m_pingTimer = new QTimer();
    connect(m_pingTimer, &QTimer::timeout, slotObject(), &CAgentWorkerThreadSlots::onPingTimer, Qt::QueuedConnection);
    m_pingTimer->start(qMax(1, zam::scaledMs(kPingCheckMs)));
    m_relay.reset(new CSnmpRelayControl([this](const CAgentMessagePtr& message) { sendMessageNow(message); }));
}

void CAgentAgentLink::destroyTimers()
{
    if (m_relay) {
        m_relay->linkClosed();
        m_relay.reset();
    }
    if (m_pingTimer) {
        m_pingTimer->stop();
        delete m_pingTimer;
        m_pingTimer = nullptr;
    }
}

void CAgentAgentLink::reportDisconnected(const QString& reason)
{
    if (m_disconnectReported)
        return;
    m_disconnectReported = true;
    m_manager->postLinkEvent(CAgentLinkEventPtr(new CDisconnectedAgentLinkEvent(CAgentAgentLinkPtr(this), reason)));
}

void CAgentAgentLink::onLinkConnected()
{
    m_connectedMs = nowMs();
    markConnected();
    if (m_manager->isUpgrading()) {
        postDisconnect(QStringLiteral("agent is upgrading"));
        return;
    }
    const SLinkLocalIdentity id = m_manager->localIdentity();
    const QString connectionId = m_manager->connectionId();
    postSendMessage(CAgentMessagePtr(new CSelfIdentificationAgentNot(connectionId, id.hostName, id.ipRange)));
    postSendMessage(CAgentMessagePtr(new CProtocolVersionAgentNot(kProtocolMajor, kProtocolMinor)));
    postSendMessage(CAgentMessagePtr(new CProductVersionAgentNot(kProductVersion)));
    postSendMessage(CAgentMessagePtr(new CLocalhostInfoAgentNot(id.hostName, id.address, id.domain, id.addresses)));
    m_manager->postLinkEvent(CAgentLinkEventPtr(new CAuthenticatedAgentLinkEvent(
        CAgentAgentLinkPtr(this), connectionId, id.ipRange, peerAddressText(), connectionTransport())));
}

void CAgentAgentLink::onLinkClosed()
{
    // The relay's port is freed at once; its end report has no connection left to go out on.
    if (m_relay)
        m_relay->linkClosed();
    reportDisconnected(QStringLiteral("connection closed"));
    CAgentLink::onLinkClosed();
}

void CAgentAgentLink::onLinkError(const QString& error)
{
    // Reported before the disconnect runs, so the manager hears the error, not the close
    // that the disconnect itself causes.
    reportDisconnected(error);
    CAgentLink::onLinkError(error);
}

void CAgentAgentLink::checkPing()
{
    const qint64 now = nowMs();
    if (!m_messageReceived) {
        if (now - m_connectedMs > zam::scaledMs(kFirstMessageMs))
            postDisconnect(QStringLiteral("connection timeout on agent"));
        return;
    }
    if (now - m_lastReceivedMs > zam::scaledMs(kSilenceMs)) {
        postSendMessage(CAgentMessagePtr(new CPingAgentReq()));
        m_lastReceivedMs = now;
        ++m_unansweredPings;
        if (m_unansweredPings > kMaxUnansweredPings)
            postDisconnect(QStringLiteral("no ping response"));
    }
}

void CAgentAgentLink::processMessage(const CAgentMessagePtr& message)
{
    m_messageReceived = true;
    m_lastReceivedMs = nowMs();
    m_unansweredPings = 0;

    const int id = message->id();
    switch (message->type()) {
    case CPingAgentReq::Type:
        sendMessageNow(CAgentMessagePtr(new CPingAgentResp(id)));
        break;
    case CPingAgentResp::Type:
    case CProtocolVersionAgentNot::Type:
    case CSelfIdentificationAgentNot::Type:
    case CLocalhostInfoAgentNot::Type:
        break;
    case CCheckConnectionAgentReq::Type:
        sendMessageNow(CAgentMessagePtr(new CCheckConnectionAgentResp(id)));
        break;
    case CPollWithSettingsAgentReq::Type:
    case CPollAgentReq::Type:
        handlePoll(message);
        break;
    case CProductVersionAgentNot::Type:
        if (static_cast<CProductVersionAgentNot*>(message.data())->ver >= 0)
            postDisconnect(QStringLiteral("cannot connect agent with another agent"));
        break;
    case CAbortPollAgentNot::Type:
        handleAbort(static_cast<CAbortPollAgentNot*>(message.data())->abortTransaction);
        break;
    case CPluginDataAgentNot::Type: {
        auto* m = static_cast<CPluginDataAgentNot*>(message.data());
        engine().updatePluginInfo(id, m->pluginId, m->pluginName);
        break;
    }
    case CDeleteMonitorAgentNot::Type:
        engine().deleteMonitor(static_cast<CDeleteMonitorAgentNot*>(message.data())->monId);
        break;
    case CUpgradeAgentMessage::Type:
        handleUpgrade(message);
        break;
    case CSnmpReq::Type:
    case CSnmpData::Type:
        handleRelay(message);
        break;
    case CResolveReq::Type: {
        auto* m = static_cast<CResolveReq*>(message.data());
        engine().resolve(id, m->reqId, m->isIp != 0, m->from, m->prev);
        break;
    }
    case CDisconnectReason::Type:
        setDisconnectReason(static_cast<CDisconnectReason*>(message.data())->reason, true);
        break;
    case CSubscribeSnmp::Type:
    case CUnsubscribeSnmp::Type:
    case CSubscribeSyslog::Type:
    case CUnsubscribeSyslog::Type:
        handleSubscription(message);
        break;
    case CUpdateAgentLimits::Type:
        handleLimits(message);
        break;
    case CCheckAttachmentsReq::Type:
    case CCreateAttachmentsReq::Type:
    case CDeleteAttachmentsNot::Type:
        handleAttachments(message);
        break;
    case CAgentSetModeMessage::Type:
        handleSetMode(message);
        break;
    default:
        qWarning().noquote() << QStringLiteral("unknown message type %1 in agent link").arg(message->type());
        break;
    }
}

void CAgentAgentLink::answerPoll(int transactionId, const SPollOutcome& outcome)
{
    sendMessageNow(CAgentMessagePtr(new CPollAgentResp(outcome, transactionId)));
}

void CAgentAgentLink::handlePoll(const CAgentMessagePtr& message)
{
    const int transactionId = message->id();
    SLinkPollRequest request;
    if (message->type() == CPollAgentReq::Type) {
        auto* m = static_cast<CPollAgentReq*>(message.data());
        request.kind = SLinkPollRequest::ById;
        request.monitorId = m->monId;
        request.hasTemplateId = m->hasTemplateId != 0;
        request.templateId = m->templateId;
    } else {
        auto* m = static_cast<CPollWithSettingsAgentReq*>(message.data());
        request.kind = SLinkPollRequest::WithSettings;
        request.monitorData = m->monitorData;
        request.hasTemplateId = m->hasTemplateId != 0;
        request.templateId = m->templateId;
    }
    // New settings are kept even when the poll is refused: later polls by id must use them.
    if (request.hasTemplateId && m_busyTemplates.isBusy(request.templateId)) {
        if (request.kind == SLinkPollRequest::WithSettings)
            engine().storePollSettings(request);
        answerPoll(transactionId, CLinkPoll::refusal(2, "updating template attachments"));
        return;
    }
    if (m_transactions.contains(transactionId)) {
        if (request.kind == SLinkPollRequest::WithSettings)
            engine().storePollSettings(request);
        qWarning().noquote() << QStringLiteral("transaction %1 is already open, poll refused").arg(transactionId);
        answerPoll(transactionId,
                   CLinkPoll::refusal(1, QStringLiteral("transaction %1 is already open").arg(transactionId).toUtf8()));
        return;
    }
    CLinkPollPtr poll(new CLinkPoll(m_manager, m_linkId, transactionId, request));
    // Entered before the engine runs it: a result may come back at once (on any thread).
    m_transactions.insert(transactionId, poll);
    switch (engine().startPoll(poll)) {
    case ILinkEngine::PollStarted:
    case ILinkEngine::PollAnswered:
        break;   // the answer arrives as a posted result task
    case ILinkEngine::PollMonitorBusy:
        m_transactions.remove(transactionId);
        answerPoll(transactionId, CLinkPoll::refusal(1, "previous poll has not finished yet"));
        break;
    }
}

void CAgentAgentLink::handleAbort(int transactionId)
{
    const CLinkPollPtr poll = m_transactions.take(transactionId);
    if (!poll)
        return;
    poll->requestAbort();
    engine().abortPoll(poll);
    qWarning().noquote() << QStringLiteral("poll transaction %1 aborted").arg(transactionId);
}

void CAgentAgentLink::handleTask(SSendPollResultTask, const CLinkPollPtr& poll)
{
    auto it = m_transactions.find(poll->transactionId());
    // Only the very poll this session opened under that id is answered.
    if (it == m_transactions.end() || it.value() != poll) {
        qWarning().noquote() << QStringLiteral("cannot find polling task for transaction %1").arg(poll->transactionId());
        return;
    }
    m_transactions.erase(it);
    answerPoll(poll->transactionId(), poll->outcome());
}

void CAgentAgentLink::handleTask(SSendMonitorEventTask, int monitorId, const CMonitorEventPtr& event)
{
    sendMessageNow(CAgentMessagePtr(new CMonitorEventNot(monitorId, event, wideValues())));
}

void CAgentAgentLink::handleTask(SSendExtendedCapsTask, int requestId)
{
    const QByteArray json = buildExtendedCapsJson(localExtendedCaps(engine().supportedMonitorTypes()));
    sendMessageNow(CAgentMessagePtr(new CAgentExtCapsMessage(json, requestId)));
}

void CAgentAgentLink::handleLimits(const CAgentMessagePtr& message)
{
    auto* m = static_cast<CUpdateAgentLimits*>(message.data());
    engine().setLimits(checkedLimit(kThreadLimit, m->threadLimit), checkedLimit(kCpuLimit, m->cpuLimit));
    engine().setWatchdogLimit(checkedLimit(kWtmLimit, m->wtmLimit));
}

void CAgentAgentLink::handleSetMode(const CAgentMessagePtr& message)
{
    const qint32 mode = static_cast<CAgentSetModeMessage*>(message.data())->modeBits & CAgentSetModeMessage::KnownBits;
    sendMessageNow(CAgentMessagePtr(new CAgentSetModeMessage(mode, message->id())));
    setWideValues((mode & CAgentSetModeMessage::WideStatusValues) != 0);
    m_extendedCaps = (mode & CAgentSetModeMessage::ExtendedCaps) != 0;
}

// A record that did not read cleanly subscribes nothing: its filters are gone, and an empty
// list would only earn the monitor a misleading "cannot resolve" answer. The monitor's
// earlier filters go, when the record at least named it.
void CAgentAgentLink::handleSubscription(const CAgentMessagePtr& message)
{
    switch (message->type()) {
    case CSubscribeSnmp::Type: {
        auto* m = static_cast<CSubscribeSnmp*>(message.data());
        if (!m->recordError.isEmpty()) {
            qWarning().noquote() << QStringLiteral("trap subscription: %1").arg(m->recordError);
            if (m->monitorIdRead)
                engine().unsubscribeTraps(m->monitorId);
            break;
        }
        engine().subscribeTraps(m->monitorId, m->takeFilters(), m->limit, m->user);
        break;
    }
    case CUnsubscribeSnmp::Type:
        engine().unsubscribeTraps(static_cast<CUnsubscribeSnmp*>(message.data())->monId);
        break;
    case CSubscribeSyslog::Type: {
        auto* m = static_cast<CSubscribeSyslog*>(message.data());
        if (!m->recordError.isEmpty()) {
            qWarning().noquote() << QStringLiteral("syslog subscription: %1").arg(m->recordError);
            if (m->monitorIdRead)
                engine().unsubscribeSyslog(m->monitorId);
            break;
        }
        engine().subscribeSyslog(m->monitorId, m->takeFilters(), m->limit);
        break;
    }
    case CUnsubscribeSyslog::Type:
        engine().unsubscribeSyslog(static_cast<CUnsubscribeSyslog*>(message.data())->monId);
        break;
    }
}

// Attachment work runs off the session's thread; check and create answer through the agent
// manager. A check marks the template busy until its answer finds nothing missing or a
// create has answered.
void CAgentAgentLink::handleAttachments(const CAgentMessagePtr& message)
{
    if (message->type() == CCheckAttachmentsReq::Type)
        m_busyTemplates.markBusy(static_cast<CCheckAttachmentsReq*>(message.data())->templateId);
    m_manager->postAttachmentsRequest(m_linkId, message);
}

void CAgentAgentLink::handleUpgrade(const CAgentMessagePtr& message)
{
    const CAgentMessagePtr answer =
        m_manager->handleUpgrade(static_cast<CUpgradeAgentMessage*>(message.data())->upgradeData);
    if (answer)
        sendMessageNow(answer);
}

void CAgentAgentLink::handleRelay(const CAgentMessagePtr& message)
{
    if (!m_relay)
        return;
    if (message->type() == CSnmpReq::Type)
        m_relay->handleRequest(*static_cast<CSnmpReq*>(message.data()));
    else
        m_relay->handleData(*static_cast<CSnmpData*>(message.data()));
}
