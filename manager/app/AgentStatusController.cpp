#include "AgentStatusController.h"

#include "common/AgentSettings.h"
#include "common/NotificationBase.h"
#include "common/NotificationFixedSize.h"

#include <QHostAddress>
#include <QMenu>
#include <QSettings>
#include <QTcpSocket>

namespace {
constexpr int kStatusRequestCode = 10001;
constexpr int kLinkStatusCode = 10002;
constexpr int kControlPortDefault = 3456;
} // namespace

AgentStatusController::AgentStatusController(QObject* parent, const QString& scriptPath)
    : QObject(parent),
      m_settings(openAgentSettings()),
      m_trayIcon(this),
      m_serviceManager(QStringLiteral("Corvane Monitor Agent"), scriptPath),
      m_menu(std::make_unique<QMenu>())
{
    m_socketTimer.setInterval(3000);

    m_openAction = addMenuAction(QStringLiteral("Open"), &AgentStatusController::openRequested);
    m_menu->addSeparator();
    m_startAction = addMenuAction(QStringLiteral("Start agent"), &AgentStatusController::startAgentRequested);
    m_stopAction = addMenuAction(QStringLiteral("Stop agent"), &AgentStatusController::stopAgentRequested);
    m_restartAction = addMenuAction(QStringLiteral("Restart agent"), &AgentStatusController::restartAgentRequested);
    m_menu->addSeparator();
    m_exitAction = addMenuAction(QStringLiteral("Exit"), &AgentStatusController::shutdownRequested);
    m_trayIcon.setContextMenu(m_menu.get());
    m_startAction->setEnabled(false);
    m_stopAction->setEnabled(false);
    m_restartAction->setEnabled(false);

    connect(&m_trayIcon, &QSystemTrayIcon::activated, this, &AgentStatusController::onTrayIconActivated);
    connect(&m_serviceManager, &CServiceManager::started, this, &AgentStatusController::onAgentRunning);
    connect(&m_serviceManager, &CServiceManager::stopped, this, &AgentStatusController::onAgentStopped);
    connect(this, &AgentStatusController::statusChanged, this, &AgentStatusController::refreshIcon);

    m_trayIcon.setIcon(stateIcon());
    m_trayIcon.setVisible(true);
    showTrayMessage(QStringLiteral("Agent Manager launched!"),
                    QStringLiteral("Corvane Monitor Agent configuration and management tool"), 1000);

    connect(&m_socketTimer, &QTimer::timeout, this, &AgentStatusController::onSockTimer);
    m_socketTimer.start();
    refreshIcon();
}

AgentStatusController::~AgentStatusController()
{
    if (m_socket != nullptr)
        dropSocket();
}

QAction* AgentStatusController::addMenuAction(const QString& text, void (AgentStatusController::*signal)())
{
    QAction* action = m_menu->addAction(text);
    connect(action, &QAction::triggered, this, signal);
    return action;
}

void AgentStatusController::setAgentState(int running, int connection)
{
    if (running != m_runningState) {
        m_runningState = running;
        m_startAction->setEnabled(running == 0);
        m_stopAction->setEnabled(running == 1);
        m_restartAction->setEnabled(running == 1);
        m_connectionState = connection;
        emit statusChanged();
    } else if (connection != m_connectionState) {
        m_connectionState = connection;
        emit statusChanged();
    }
}

void AgentStatusController::setOpenEnabled(bool enabled)
{
    if (m_openAction)
        m_openAction->setEnabled(enabled);
}

void AgentStatusController::showTrayMessage(const QString& title, const QString& text, int milliseconds)
{
    m_trayIcon.showMessage(title, text, QSystemTrayIcon::Information, milliseconds);
}

QString AgentStatusController::stateIconPath() const
{
    if (m_runningState == 1 && m_connectionState == 1)
        return QStringLiteral(":/resources/images/agent_on.png");
    if (m_runningState == 1 && m_connectionState == 0)
        return QStringLiteral(":/resources/images/agent_off.png");
    return QStringLiteral(":/resources/images/agent_disabled.png");
}

QIcon AgentStatusController::stateIcon() const { return QIcon(stateIconPath()); }

void AgentStatusController::onAgentRunning()
{
    setAgentState(1, m_connectionState);
    refreshIcon();
}

void AgentStatusController::onAgentStopped()
{
    setAgentState(0, m_connectionState);
    if (m_socket != nullptr)
        dropSocket();
    refreshIcon();
}

void AgentStatusController::dropSocket()
{
    m_socket->disconnectFromHost();
    m_socket->blockSignals(true);
    // may run inside the socket's own readyRead: it goes once that has returned
    m_socket->deleteLater();
    m_socket = nullptr;
    setAgentState(m_runningState, 2);
}

void AgentStatusController::onSockTimer()
{
    if (m_socket != nullptr && m_socket->state() != QAbstractSocket::ConnectedState)
        dropSocket();
    if (m_socket != nullptr)
        return;
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::readyRead, this, &AgentStatusController::onSockReadyRead);
    connect(m_socket, &QTcpSocket::connected, this, &AgentStatusController::onSockConnected);
    // a port changed in the file counts from the next attempt on
    m_settings->sync();
    const auto port = static_cast<quint16>(m_settings->value(QStringLiteral("AgentControlServer/Port"), kControlPortDefault).toInt());
    m_socket->connectToHost(QHostAddress(QHostAddress::LocalHost), port, QIODevice::ReadWrite);
}

void AgentStatusController::onSockConnected()
{
    if (m_socket == nullptr)
        return;
    const NotificationFixedSize request(kStatusRequestCode, 0, 0, 0);
    NotificationBase::writeTo(&request, m_socket);
    setAgentState(1, 2);
}

void AgentStatusController::onSockReadyRead()
{
    while (m_socket != nullptr) {
        bool error = false;
        bool skipped = false;
        const NotificationPtr notification = NotificationBase::readFrom(m_socket, error, &skipped);
        if (notification) {
            notification->dispatchTo(*this);
            continue;
        }
        if (error) {
            // a frame longer than any notification: the stream cannot be trusted any more
            dropSocket();
            return;
        }
        if (!skipped)
            return; // an incomplete frame waits for more bytes
    }
}

void AgentStatusController::handleFixedSize(const NotificationFixedSize& notification)
{
    if (notification.code() != kLinkStatusCode)
        return;
    if (notification.value1() != 0 && notification.value1() != 1)
        return;
    setAgentState(m_runningState, notification.value1() == 1 ? 1 : 0);
}

void AgentStatusController::handleIntStr(const NotificationIntStr&) {}

void AgentStatusController::onTrayIconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick)
        emit openRequested();
}

void AgentStatusController::refreshIcon()
{
    m_trayIcon.setIcon(stateIcon());
    showCurrStatus();
}

void AgentStatusController::showCurrStatus()
{
    QString status;
    if (m_runningState == 0) {
        status = QStringLiteral("stopped");
    } else if (m_runningState == 1) {
        status = QStringLiteral("started");
        if (m_connectionState == 1)
            status += QStringLiteral(", connected");
        else if (m_connectionState == 0)
            status += QStringLiteral(", no connection");
    } else {
        return;
    }
    const QString text = QStringLiteral("Agent is ") + status;
    if (text != m_lastStatusText) {
        showTrayMessage(QStringLiteral("Corvane Monitor Agent status"), text, 5000);
        m_lastStatusText = text;
    }
    m_trayIcon.setToolTip(QStringLiteral("Corvane Monitor Agent: ") + text.toLower());
}
