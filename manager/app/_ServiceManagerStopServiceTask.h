#pragma once
// Runs the init script with "-stop" on the thread of its _ServiceManagerStopServiceTaskExec and
// reports the end, or why the script did not run to its end.

#include <QObject>

class _ServiceManagerStopServiceTask : public QObject
{
    Q_OBJECT
public:
    _ServiceManagerStopServiceTask(const QString& serviceName, const QString& scriptPath);

    void stopDaemon();

signals:
    void stopped();
    void error(QString _error);

private:
    QString m_serviceName;
    QString m_scriptPath;
};
