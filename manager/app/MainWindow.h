#pragma once
// The manager's only window: the manage tab above the configure tab. Keeps the manager's
// heartbeat in the shared block alive and obeys its command byte every 300 ms, hides to the tray
// instead of closing, and asks about unsaved settings before it hides, quits, starts or stops
// the daemon. GUI thread only; the controller is not owned.

#include <QMainWindow>

#include <memory>

class AgentStatusController;
class ConfigureTab;
class ManageTab;
class QSettings;
class VektTopLabel;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(AgentStatusController* controller, QWidget* parent = nullptr);
    ~MainWindow() override;

    // True when the caller may go on: nothing unsaved, saved (Yes), or dropped (No).
    bool askToSaveChanges(bool askToRestart);

    AgentStatusController* controller() const { return m_controller; }
    ConfigureTab* configureTab() const { return m_configureTab; }
    ManageTab* manageTab() const { return m_manageTab; }

signals:
    void statusChanged();

public slots:
    void forceActivate();
    void hideToTray();
    void on_bHide_clicked();
    void onShutdown();
    void onControllerStatusChanged();
    void onOpenOrToggleRequested();

protected:
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<QSettings> m_settings;
    AgentStatusController* m_controller; // not owned
    ConfigureTab* m_configureTab = nullptr;
    ManageTab* m_manageTab = nullptr;
    VektTopLabel* m_topLabel = nullptr;
    int m_timerId = -1;
};

// Title, system menu and minimise button, nothing else.
Qt::WindowFlags mainWindowFlags();

// Replaces the window after a theme switch, at the same geometry and visibility. Waits while a
// modal dialog is open (a save's messages or the restart question), so no window is deleted
// under one.
void rebuildMainWindow(MainWindow*& window, AgentStatusController* controller);
