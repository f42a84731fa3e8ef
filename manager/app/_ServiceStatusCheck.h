#pragma once
// Asks the init script every second whether the daemon runs. Lives on the status check
// thread (_ServiceStatusCheckExec); its signals reach the GUI thread queued.

#include <QObject>

class _ServiceStatusCheck : public QObject
{
    Q_OBJECT
public:
    _ServiceStatusCheck(const QString& serviceName, const QString& scriptPath);

    // Starts the one-second timer; called on the thread it lives on.
    void startChecking();

signals:
    void error(QString _error);
    void serviceIsRunning();
    void serviceNotRunning();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    QString m_serviceName;
    QString m_scriptPath;
    int m_timerId = 0;
};
