#pragma once
// The daemon's state as the controller reports it, and Start, Stop and Restart through the
// service manager. A child of the main window; GUI thread only.

#include <QWidget>

class MainWindow;
class QLabel;
class QPushButton;

class ManageTab : public QWidget
{
    Q_OBJECT
public:
    explicit ManageTab(MainWindow* mainWindow);

signals:
    void agentRunning();
    void agentStopped();

public slots:
    void startAgent();
    void stopAgent();
    // Stop, wait for the stop (at most 19999 ms) in an event loop, start; never twice at once.
    void restartAgent();
    void refreshButtons();
    void onSettingsAppliedToINIFile(bool _askToRestart);

private:
    void setButtonsEnabled(bool start, bool stop);

    MainWindow* m_mainWindow;
    QLabel* m_statusIcon;
    QLabel* m_statusDetails;
    QPushButton* m_start;
    QPushButton* m_stop;
    QPushButton* m_restart;
    bool m_restarting = false;
};
