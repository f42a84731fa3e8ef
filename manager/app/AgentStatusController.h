#pragma once
// What the manager knows of the daemon: whether it runs (the init script's status check and a
// working control connection) and whether it has its link to the central service (answers on
// the local control port). Owns the tray icon with its menu and balloons, and the service
// manager that runs the init script. GUI thread only.

#include "CServiceManager.h"
#include "common/NotificationParser.h"

#include <QAction>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

#include <memory>

class QSettings;
class QTcpSocket;

class AgentStatusController : public QObject, public NotificationParser
{
    Q_OBJECT
public:
    // scriptPath: the init script; by default the one beside the program.
    explicit AgentStatusController(QObject* parent = nullptr, const QString& scriptPath = QString());
    ~AgentStatusController() override;

    // 0 stopped, 1 running, 2 unknown.
    int runningState() const { return m_runningState; }
    // 0 no link to the service, 1 link up, 2 unknown.
    int connectionState() const { return m_connectionState; }
    QString lastStatusText() const { return m_lastStatusText; }

    void setAgentState(int running, int connection);
    void setOpenEnabled(bool enabled);
    virtual void showTrayMessage(const QString& title, const QString& text, int milliseconds);
    QIcon stateIcon() const;
    // The resource path of the icon for the current states.
    QString stateIconPath() const;

    CServiceManager& serviceManager() { return m_serviceManager; }
    QSystemTrayIcon& trayIcon() { return m_trayIcon; }

    void handleFixedSize(const NotificationFixedSize& notification) override;
    void handleIntStr(const NotificationIntStr& notification) override;

signals:
    void openRequested();
    void startAgentRequested();
    void stopAgentRequested();
    void restartAgentRequested();
    void shutdownRequested();
    void statusChanged();

public slots:
    void onAgentRunning();
    void onAgentStopped();
    void onTrayIconActivated(QSystemTrayIcon::ActivationReason reason);
    void onSockConnected();
    void onSockReadyRead();
    void refreshIcon();
    void onSockTimer();
    void showCurrStatus();

private:
    void dropSocket();
    QAction* addMenuAction(const QString& text, void (AgentStatusController::*signal)());

    std::unique_ptr<QSettings> m_settings;
    QSystemTrayIcon m_trayIcon;
    CServiceManager m_serviceManager;
    QTimer m_socketTimer;
    QTcpSocket* m_socket = nullptr; // owned
    int m_runningState = 2;
    int m_connectionState = 2;
    QPointer<QAction> m_openAction;
    QPointer<QAction> m_startAction;
    QPointer<QAction> m_stopAction;
    QPointer<QAction> m_restartAction;
    QPointer<QAction> m_exitAction;
    QString m_lastStatusText;
    std::unique_ptr<QMenu> m_menu;
};
