#pragma once
// Runs the daemon through the init script: a status check every second on a thread of its
// own, start and stop on short-lived threads, and the answers turned into started() and
// stopped() on the GUI thread, each only on a change. Lives on the GUI thread; the autostart
// calls run the script synchronously there (bounded by their time-out).

#include <QObject>
#include <QString>

#include <memory>

class _ServiceStatusCheckExec;

class CServiceManager : public QObject
{
    Q_OBJECT
public:
    // scriptPath: the init script; by default "DaemonInitialization.sh" beside the program.
    explicit CServiceManager(const QString& serviceName, const QString& scriptPath = QString(),
                             QObject* parent = nullptr);
    ~CServiceManager() override;

    bool isRunning() const { return m_isRunning; }
    bool isKnown() const { return m_isKnown; }
    // True from stopService until that stop's script run has ended (a restart waits for it, so
    // its stop cannot end a daemon the restart's start has just launched).
    bool isStopping() const { return m_stopsRunning > 0; }
    QString lastError() const { return m_lastError; }
    QString serviceName() const { return m_serviceName; }
    QString scriptPath() const { return m_scriptPath; }

    // Both start with an empty lastError, so what it holds afterwards is their own reason.
    bool isDaemonAutostartEnabled();
    // True when the script confirms the switch (1 for enable, 0 for disable) after running to
    // its end; otherwise false with the reason in lastError (including the answer it gave).
    bool setDaemonAutostart(bool enable);

signals:
    void error(QString _err);
    void started();
    void stopped();
    void stopFinished();

public slots:
    void stopService();
    void startService();
    void setLastErrorAndEmit(QString text);
    void setServiceRunningAndEmit();
    void setServiceNotRunningAndEmit();

private:
    QString m_lastError;
    QString m_serviceName;
    QString m_scriptPath;
    bool m_isRunning = false;
    bool m_isKnown = false;
    int m_stopsRunning = 0;
    std::unique_ptr<_ServiceStatusCheckExec> m_statusCheck;
};
