#include "CAgentAgentManager.h"
#include "CControlServer.h"

#include "common/NotificationFixedSize.h"
#include "core/CNetworkMonitor.h"

#include <QMutexLocker>
#include <exception>

#include "AgentAttachmentMessages.h"
#include "AgentRelayMessages.h"
#include "CAcceptedAgentLinkEvent.h"
#include "CAgentAgentLink.h"
#include "CAgentAgentManagerSlots.h"
#include "CAgentServer.h"
#include "CAuthenticatedAgentLinkEvent.h"
#include "CDisconnectedAgentLinkEvent.h"
#include "CReconnectAgentLinkEvent.h"
#include "CServerErrorAgentLinkEvent.h"
#include "CAgentUpgrade.h"
#include "CUnavailableLinkEngine.h"
#include "TemplateAttachmentsRequest.h"
#include "UpgradePackage.h"
#include "common/AgentSettings.h"
#include "core/CNetworkMonitor.h"
#include "core/LogFile.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QDir>
#include <QMutexLocker>
#include <QTimer>

CAgentAgentManager::CAgentAgentManager(QObject* parent, const QString& name, int subsystemBit)
    : CAgentManager(parent, name), m_bit(subsystemBit), m_engine(std::make_shared<CUnavailableLinkEngine>()),
      m_created(QDateTime::currentDateTime())
{
    // Leftover upgrade packages of an earlier run.
    removeLeftoverUpgradePackages(QDir::tempPath());
    // The upgrade's time-out goes to whichever session is current when it fires.
    m_upgrade = new CAgentUpgrade([this](const CAgentMessagePtr& message) {
        QMutexLocker locker(&m_mutex);
        if (m_currentLink)
            m_currentLink->postSendMessage(message);
    });
    m_upgrade->moveToThread(this);
    // One thread: requests are carried out, and answered, in the order they arrived.
    m_attachmentPool.setMaxThreadCount(1);
}

CAgentAgentManager::~CAgentAgentManager()
{
    wait();
    m_attachmentPool.waitForDone();
    delete m_upgrade;
    QMutexLocker locker(&m_mutex);
    m_pendingLinks.clear();
    m_currentLink.reset();
    m_closingLinks.clear();
    delete m_server;
    m_server = nullptr;
}

void CAgentAgentManager::setEngine(std::shared_ptr<ILinkEngine> engine)
{
    m_engine = engine ? std::move(engine) : std::make_shared<CUnavailableLinkEngine>();
}

void CAgentAgentManager::setConfiguration(const SAgentLinkConfig& config)
{
    m_givenConfig = std::make_unique<SAgentLinkConfig>(config);
}

QString CAgentAgentManager::connectionId() const
{
    return m_config.connectionId;
}

SLinkLocalIdentity CAgentAgentManager::localIdentity() const
{
    return m_localIdentity;
}

bool CAgentAgentManager::isUpgrading() const
{
    return m_upgrading.load() || m_upgrade->isUpgrading();
}

CAgentMessagePtr CAgentAgentManager::handleUpgrade(const QByteArray& package)
{
    return m_upgrade->handleUpgrade(package);
}

void CAgentAgentManager::postAttachmentsRequest(int linkId, const CAgentMessagePtr& request)
{
    m_attachmentPool.start([this, linkId, request] {
        const STemplateAttachmentsOutcome out = runTemplateAttachmentsRequest(*request);
        if (out.requestType == CCheckAttachmentsReq::Type)
            onAttachmentsChecked(linkId, out.requestId, out.templateId, out.list);
        else if (out.requestType == CCreateAttachmentsReq::Type)
            onAttachmentsCreated(linkId, out.requestId, out.templateId, out.list);
    });
}

void CAgentAgentManager::setUpgrading(bool upgrading)
{
    QMutexLocker locker(&m_mutex);
    m_upgrading = upgrading;
}

int CAgentAgentManager::currentLinkId() const
{
    QMutexLocker locker(&m_mutex);
    return m_currentLink ? m_currentLink->linkId() : 0;
}

int CAgentAgentManager::pendingLinkCount() const
{
    QMutexLocker locker(&m_mutex);
    return m_pendingLinks.size();
}

int CAgentAgentManager::closingLinkCount() const
{
    QMutexLocker locker(&m_mutex);
    return m_closingLinks.size();
}

CAgentAgentLinkPtr CAgentAgentManager::linkById(int linkId) const
{
    if (m_currentLink && m_currentLink->linkId() == linkId)
        return m_currentLink;
    return m_pendingLinks.value(linkId);
}

bool CAgentAgentManager::sendPollResult(const CLinkPollPtr& poll)
{
    if (!poll)
        return true;
    QMutexLocker locker(&m_mutex);
    // The session that opened the poll, and no other.
    const CAgentAgentLinkPtr link = linkById(poll->linkId());
    if (!link)
        return true;
    link->postPollResult(poll);
    return false;
}

bool CAgentAgentManager::sendPollResult(int transactionId)
{
    qWarning().noquote() << QStringLiteral("poll result of transaction %1 has no session, dropped").arg(transactionId);
    return true;
}

void CAgentAgentManager::sendMonitorEvent(int monitorId, const CMonitorEventPtr& event)
{
    QMutexLocker locker(&m_mutex);
    if (m_currentLink)
        m_currentLink->postMonitorEvent(monitorId, event);
}

void CAgentAgentManager::sendExtendedCaps(int requestId)
{
    QMutexLocker locker(&m_mutex);
    if (m_currentLink && m_currentLink->extendedCapsEnabled())
        m_currentLink->postExtendedCaps(requestId);
}

void CAgentAgentManager::sendResolveResponse(int linkValue, int requestId, bool addressFlag, const QString& text,
                                             const QString& result)
{
    QMutexLocker locker(&m_mutex);
    if (m_currentLink)
        m_currentLink->postSendMessage(CAgentMessagePtr(
            new CResolveResp(1, requestId, result.isEmpty() ? 0 : 1, addressFlag ? 1 : 0, text, result, linkValue)));
}

CAgentAgentLinkPtr CAgentAgentManager::attachmentAnswerLink(int linkId, int requestId) const
{
    const CAgentAgentLinkPtr link = linkById(linkId);
    if (!link)
        qWarning().noquote() << QStringLiteral("answer to attachment request %1 dropped: its session has ended")
                                    .arg(requestId);
    return link;
}

void CAgentAgentManager::onAttachmentsChecked(int linkId, int requestId, int templateId,
                                              const QList<STemplateAttachment>& missing)
{
    QMutexLocker locker(&m_mutex);
    const CAgentAgentLinkPtr link = attachmentAnswerLink(linkId, requestId);
    if (!link)
        return;   // the template was busy on that session alone, which is gone
    link->postSendMessage(CAgentMessagePtr(new CCheckAttachmentsResp(missing, requestId)));
    if (missing.isEmpty() && link->busyTemplates().isBusy(templateId))
        link->busyTemplates().release(templateId);
}

void CAgentAgentManager::onAttachmentsCreated(int linkId, int requestId, int templateId,
                                              const QList<STemplateAttachment>& failed)
{
    QMutexLocker locker(&m_mutex);
    const CAgentAgentLinkPtr link = attachmentAnswerLink(linkId, requestId);
    if (!link)
        return;
    link->postSendMessage(CAgentMessagePtr(new CCheckAttachmentsResp(failed, requestId)));
    link->busyTemplates().release(templateId);
}

void CAgentAgentManager::requestReconnect()
{
    postLinkEvent(CAgentLinkEventPtr(new CReconnectAgentLinkEvent(m_agentId)));
}

void CAgentAgentManager::scheduleReconnect(int agentId, int delayMs)
{
    if (m_engine->scheduleReconnect(agentId, delayMs))
        return;
    if (!m_reconnectTimer || m_reconnectTimer->isActive())
        return;
    m_reconnectTimer->start(qMax(0, delayMs));
}

bool CAgentAgentManager::readConfiguration()
{
    if (m_givenConfig) {
        m_config = *m_givenConfig;
        return true;
    }
    const std::unique_ptr<QSettings> settings = openAgentSettings();
    m_config = SAgentLinkConfig();
    m_config.passive = readSettingInt(*settings, QStringLiteral("Common/AgentType"), 0) != 0;
    if (m_config.passive) {
        if (countAgentServers(*settings) == 0) {
            qCritical().noquote() << QStringLiteral("No agent servers configurations for passive agent");
            return false;
        }
        if (!readAgentServer(*settings, 0, m_config.server)) {
            qCritical().noquote() << QStringLiteral("Failed reading server configuration (n=0)");
            return false;
        }
    } else {
        readActiveAgentSettings(*settings, m_config.active);
    }
    QString id;
    if (!computeConnectionId(*settings, id)) {
        qCritical().noquote() << QStringLiteral("Failed to generate a connection id (certificate path=%1, errmsg=%2)")
                                     .arg(readSettingString(*settings, QStringLiteral("SSLSettings/CertificatePath"),
                                                            QString()),
                                          id);
        return false;
    }
    m_config.connectionId = id;
    return true;
}

bool CAgentAgentManager::startRun()
{
    m_reconnectTimer = new QTimer(slotObject());
    m_reconnectTimer->setSingleShot(true);
    connect(m_reconnectTimer, &QTimer::timeout, slotObject(), [this] { requestReconnect(); });

    if (!readConfiguration()) {
        reportFatalError(QStringLiteral("Cannot read agent configuration"));
        return false;
    }
    m_localIdentity = linkLocalIdentity();
    QMutexLocker locker(&m_mutex);
    if (m_config.passive) {
        m_server = createAgentServer(this, m_config.server);
        if (!m_server) {
            locker.unlock();
            reportFatalError(QStringLiteral("Failed to create a server"));
            return false;
        }
        m_serverPort = m_server->listeningPort();
    } else if (!openActiveLink()) {
        locker.unlock();
        reportFatalError(QStringLiteral("Cannot connect to service"));
        return false;
    }
    return true;
}

void CAgentAgentManager::endRun()
{
    m_upgrade->stopTimer();
    m_attachmentPool.waitForDone();
    // Sessions still held here have finished or were left behind by the bounded stop wait.
    waitForClosingLinks();
    QMutexLocker locker(&m_mutex);
    if (m_server) {
        m_server->stop();
        delete m_server;
        m_server = nullptr;
        m_serverPort = 0;
    }
    delete m_reconnectTimer;
    m_reconnectTimer = nullptr;
}

int CAgentAgentManager::nextLinkId()
{
    do {
        ++m_lastLinkId;
    } while (m_pendingLinks.contains(m_lastLinkId) || (m_currentLink && m_currentLink->linkId() == m_lastLinkId));
    return m_lastLinkId;
}

void CAgentAgentManager::registerLink(const CAgentAgentLinkPtr& link)
{
    connect(link.data(), &QThread::finished, slotObject(), &CAgentAgentManagerSlots::onAgentLinkThreadFinished,
            Qt::QueuedConnection);
    m_pendingLinks.insert(link->linkId(), link);
}

CAgentAgentLinkPtr CAgentAgentManager::openActiveLink()
{
    CAgentAgentLinkPtr link(new CAgentAgentLink(this, nextLinkId()));
    link->setAgentId(m_agentId);
    link->setConnectionSettings(m_config.active);
    link->setActive(true);
    registerLink(link);
    link->start(QThread::InheritPriority);
    return link;
}

CAgentAgentLinkPtr CAgentAgentManager::createAcceptedLink(
    const QExplicitlySharedDataPointer<CAcceptedConnectionInfo>& info, const QString& reason)
{
    CAgentAgentLinkPtr link(new CAgentAgentLink(this, nextLinkId()));
    if (!reason.isEmpty())
        link->presetDisconnectReason(reason);
    link->setAcceptedConnection(info);
    return link;
}

void CAgentAgentManager::dropLink(CAgentAgentLinkPtr link, const QString& reason)
{
    if (m_currentLink && m_currentLink->linkId() == link->linkId()) {
        m_currentLink.reset();
        setLinkStatus(false);
    } else {
        auto it = m_pendingLinks.find(link->linkId());
        if (it != m_pendingLinks.end() && it.value() == link)
            m_pendingLinks.erase(it);
    }
    m_closingLinks.insert(link.data(), link);
    link->postDisconnect(reason);
}

void CAgentAgentManager::onAcceptedEvent(const CAgentLinkEventPtr& event)
{
    const auto* accepted = static_cast<const CAcceptedAgentLinkEvent*>(event.data());
    QMutexLocker locker(&m_mutex);
    const QString busy = QStringLiteral("agent is already connected");
    if (m_currentLink) {
        // Closed without identification or a reason message: the reason is already stored.
        CAgentAgentLinkPtr link = createAcceptedLink(accepted->info(), busy);
        registerLink(link);
        link->start(QThread::InheritPriority);
        dropLink(link, busy);
        return;
    }
    writeLogLine(QStringLiteral("service connected to passive agent"));
    CAgentAgentLinkPtr link = createAcceptedLink(accepted->info(), QString());
    registerLink(link);
    link->start(QThread::InheritPriority);
}

void CAgentAgentManager::onAuthenticatedEvent(const CAgentLinkEventPtr& event)
{
    const CAgentAgentLinkPtr link = static_cast<const CAuthenticatedAgentLinkEvent*>(event.data())->link;
    QMutexLocker locker(&m_mutex);
    if (m_currentLink) {
        dropLink(link, QStringLiteral("agent is already connected"));
        return;
    }
    auto it = m_pendingLinks.find(link->linkId());
    if (it == m_pendingLinks.end() || it.value() != link) {
        dropLink(link, QStringLiteral("agent was disconnected"));
        return;
    }
    m_pendingLinks.erase(it);
    m_currentLink = link;
    setLinkStatus(true);
}

void CAgentAgentManager::onServerErrorEvent(const CAgentLinkEventPtr& event)
{
    const QString error = static_cast<const CServerErrorAgentLinkEvent*>(event.data())->error();
    CAgentServer* server = nullptr;
    {
        QMutexLocker locker(&m_mutex);
        server = m_server;
        m_server = nullptr;
        m_serverPort = 0;
    }
    if (server) {
        server->stop();
        delete server;
    }
    reportFatalError(QStringLiteral("Agent server error. ") + error);
}

void CAgentAgentManager::onDisconnectedEvent(const CAgentLinkEventPtr& event)
{
    const auto* disconnected = static_cast<const CDisconnectedAgentLinkEvent*>(event.data());
    const CAgentAgentLinkPtr link = disconnected->link;
    {
        QMutexLocker locker(&m_mutex);
        dropLink(link, disconnected->reason);
    }
    if (link->agentId() == m_agentId) {
        if (!m_config.passive && !isStopping())
            link->scheduleReconnect();
        m_engine->clearTrapSubscriptions();
    }
}

void CAgentAgentManager::onReconnectEvent(const CAgentLinkEventPtr& event)
{
    const int agentId = static_cast<const CReconnectAgentLinkEvent*>(event.data())->agentId;
    QMutexLocker locker(&m_mutex);
    if (agentId != m_agentId) {
        qWarning().noquote() << QStringLiteral("Invalid agent id in reconnect event");
        return;
    }
    if (m_currentLink) {
        qWarning().noquote() << QStringLiteral("Reconnect event when link is alive");
        return;
    }
    for (const CAgentAgentLinkPtr& pending : qAsConst(m_pendingLinks)) {
        if (pending->agentId() == agentId) {
            qWarning().noquote() << QStringLiteral("cannot reconnect: agent is already connected");
            return;
        }
    }
    if (m_config.passive) {
        qWarning().noquote() << QStringLiteral("cannot reconnect: agent is passive");
        return;
    }
    if (isStopping())
        return;
    openActiveLink();
}

void CAgentAgentManager::onAgentLinkThreadFinished(QObject* object)
{
    auto* link = qobject_cast<CAgentAgentLink*>(object);
    if (!link)
        return;
    const QString peer = link->peerAddressText();
    writeLogLine(peer.isEmpty() || peer == QLatin1String("undefined")
                     ? QStringLiteral("disconnected from service")
                     : QStringLiteral("disconnected from service (%1)").arg(peer));
    CAgentAgentLinkPtr release;   // the last reference goes after the mutex is left
    QMutexLocker locker(&m_mutex);
    release = m_closingLinks.take(link);
    // A session whose thread ended without a disconnected event (its queue was stopped).
    auto it = m_pendingLinks.find(link->linkId());
    if (it != m_pendingLinks.end() && it.value().data() == link) {
        if (!release)
            release = it.value();
        m_pendingLinks.erase(it);
    }
    if (m_currentLink.data() == link) {
        if (!release)
            release = m_currentLink;
        m_currentLink.reset();
        setLinkStatus(false);
    }
    locker.unlock();
}

void CAgentAgentManager::stopAllLinks()
{
    QMutexLocker locker(&m_mutex);
    if (m_stopReason.isEmpty())
        m_stopReason = QStringLiteral("agent was stopped");
    if (m_currentLink)
        dropLink(m_currentLink, m_stopReason);
    const QList<CAgentAgentLinkPtr> pending = m_pendingLinks.values();
    for (const CAgentAgentLinkPtr& link : pending)
        dropLink(link, m_stopReason);
}

void CAgentAgentManager::waitForClosingLinks()
{
    QList<CAgentAgentLinkPtr> closing;
    {
        QMutexLocker locker(&m_mutex);
        closing = m_closingLinks.values();
    }
    // Bounded: the reasons get their chance to leave, a stuck peer cannot hold the stop.
    QDeadlineTimer deadline(kStopWaitMs);
    for (const CAgentAgentLinkPtr& link : closing)
        link->wait(deadline);
    for (const CAgentAgentLinkPtr& link : closing) {
        if (link->isFinished())
            continue;
        link->stopTaskQueue();   // thread-safe: ends its event loop
        if (!link->wait(QDeadlineTimer(kStopWaitMs))) {
            qWarning().noquote() << QStringLiteral("session %1 did not end in time").arg(link->linkId());
            link->ref.ref();   // left running: never deleted under its own thread
        }
    }
    QMutexLocker locker(&m_mutex);
    m_closingLinks.clear();
}

void CAgentAgentManager::onStopped()
{
    CAgentServer* server = nullptr;
    {
        QMutexLocker locker(&m_mutex);
        server = m_server;
        m_server = nullptr;
        m_serverPort = 0;
    }
    if (server) {
        server->stop();
        delete server;
    }
    if (m_reconnectTimer)
        m_reconnectTimer->stop();
    stopAllLinks();
    waitForClosingLinks();
    CAgentManager::onStopped();
}

void CAgentAgentManager::onLinkStatusRequest()
{
    QMutexLocker locker(&m_linkStatusMutex);
    broadcastLinkStatus();
}

bool CAgentAgentManager::hasCurrentLink() const
{
    QMutexLocker locker(&m_linkStatusMutex);
    return m_linkExists;
}

void CAgentAgentManager::setLinkStatus(bool linkExists)
{
    QMutexLocker locker(&m_linkStatusMutex);
    if (m_linkExists == linkExists)
        return;
    m_linkExists = linkExists;
    broadcastLinkStatus();
}

void CAgentAgentManager::broadcastLinkStatus()
{
    const NotificationPtr status(
        new NotificationFixedSize(NotificationFixedSize::LinkStatus, m_linkExists ? 1 : 0, 0, 0));
    try {
        controlServer()->sendNotification(status);
    } catch (const std::exception&) {
        // No control server (yet or any more): nobody to tell.
    }
}
