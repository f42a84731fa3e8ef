#pragma once
// A short-lived thread for one "-start" request; deletes itself when it ends (the owner connects
// finished() to deleteLater()). The thread object lives on the GUI thread.

#include <QThread>

class _ServiceManagerStartServiceTaskExec : public QThread
{
    Q_OBJECT
public:
    _ServiceManagerStartServiceTaskExec(const QString& serviceName, const QString& scriptPath);

signals:
    void serviceIsRunning();
    void error(QString _error);

protected:
    void run() override;

private:
    QString m_serviceName;
    QString m_scriptPath;
};
