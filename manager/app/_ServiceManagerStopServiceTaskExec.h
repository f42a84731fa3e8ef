#pragma once
// A short-lived thread for one "-stop" request; deletes itself when it ends (the owner connects
// finished() to deleteLater()). The thread object lives on the GUI thread.

#include <QThread>

class _ServiceManagerStopServiceTaskExec : public QThread
{
    Q_OBJECT
public:
    _ServiceManagerStopServiceTaskExec(const QString& serviceName, const QString& scriptPath);

signals:
    void stopped();
    void error(QString _error);

protected:
    void run() override;

private:
    QString m_serviceName;
    QString m_scriptPath;
};
