#pragma once
// The status check thread: runs a _ServiceStatusCheck in its own event loop until told to
// quit. The thread object lives on the GUI thread, so its forwarded signals arrive there.

#include <QThread>

class _ServiceStatusCheckExec : public QThread
{
    Q_OBJECT
public:
    _ServiceStatusCheckExec(const QString& serviceName, const QString& scriptPath);

signals:
    void error(QString _error);
    void serviceIsRunning();
    void serviceNotRunning();

protected:
    void run() override;

private:
    QString m_serviceName;
    QString m_scriptPath;
};
