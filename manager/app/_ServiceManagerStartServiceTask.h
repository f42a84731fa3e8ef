#pragma once
// Runs the init script with "-start" on the thread of its _ServiceManagerStartServiceTaskExec and
// reports the end, or why the script did not run to its end.

#include <QObject>

class _ServiceManagerStartServiceTask : public QObject
{
    Q_OBJECT
public:
    _ServiceManagerStartServiceTask(const QString& serviceName, const QString& scriptPath);

    void startDaemon();

signals:
    void started();
    void error(QString _error);

private:
    QString m_serviceName;
    QString m_scriptPath;
};
