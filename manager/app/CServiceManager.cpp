#include "CServiceManager.h"

#include "InitScript.h"
#include "_ServiceManagerStartServiceTaskExec.h"
#include "_ServiceManagerStopServiceTaskExec.h"
#include "_ServiceStatusCheckExec.h"

#include <QFileInfo>
#include <QTimer>

CServiceManager::CServiceManager(const QString& serviceName, const QString& scriptPath, QObject* parent)
    : QObject(parent),
      m_serviceName(serviceName),
      m_scriptPath(scriptPath.isEmpty() ? defaultInitScriptPath() : scriptPath),
      m_statusCheck(std::make_unique<_ServiceStatusCheckExec>(serviceName, m_scriptPath))
{
    connect(m_statusCheck.get(), &_ServiceStatusCheckExec::serviceIsRunning, this, &CServiceManager::setServiceRunningAndEmit);
    connect(m_statusCheck.get(), &_ServiceStatusCheckExec::serviceNotRunning, this,
            &CServiceManager::setServiceNotRunningAndEmit);
    connect(m_statusCheck.get(), &_ServiceStatusCheckExec::error, this, &CServiceManager::setLastErrorAndEmit);
    // the thread starts once the event loop runs
    _ServiceStatusCheckExec* check = m_statusCheck.get();
    QTimer::singleShot(0, check, [check] { check->start(); });
}

CServiceManager::~CServiceManager()
{
    // a status run in progress ends within its own time-out
    m_statusCheck->quit();
    m_statusCheck->wait();
}

void CServiceManager::setLastErrorAndEmit(QString text)
{
    if (text == m_lastError)
        return;
    m_lastError = text;
    emit error(text);
}

void CServiceManager::setServiceRunningAndEmit()
{
    if (m_isRunning && m_isKnown)
        return;
    m_isRunning = true;
    m_isKnown = true;
    emit started();
}

void CServiceManager::setServiceNotRunningAndEmit()
{
    if (!m_isRunning && m_isKnown)
        return;
    m_isRunning = false;
    m_isKnown = true;
    emit stopped();
}

void CServiceManager::startService()
{
    m_lastError.clear();
    auto* task = new _ServiceManagerStartServiceTaskExec(m_serviceName, m_scriptPath);
    connect(task, &QThread::finished, task, &QObject::deleteLater);
    connect(task, &_ServiceManagerStartServiceTaskExec::serviceIsRunning, this, &CServiceManager::setServiceRunningAndEmit);
    connect(task, &_ServiceManagerStartServiceTaskExec::error, this, &CServiceManager::setLastErrorAndEmit);
    task->start(QThread::InheritPriority);
}

void CServiceManager::stopService()
{
    m_lastError.clear();
    auto* task = new _ServiceManagerStopServiceTaskExec(m_serviceName, m_scriptPath);
    connect(task, &QThread::finished, task, &QObject::deleteLater);
    connect(task, &_ServiceManagerStopServiceTaskExec::stopped, this, &CServiceManager::setServiceNotRunningAndEmit);
    connect(task, &_ServiceManagerStopServiceTaskExec::error, this, &CServiceManager::setLastErrorAndEmit);
    // queued after the task's own signals, so stopped() comes first
    connect(task, &QThread::finished, this, [this] {
        --m_stopsRunning;
        emit stopFinished();
    });
    ++m_stopsRunning;
    task->start(QThread::InheritPriority);
}

bool CServiceManager::isDaemonAutostartEnabled()
{
    // the reason left afterwards is this call's own, not one of an earlier run
    m_lastError.clear();
    const InitScriptResult result = runInitScript(m_scriptPath, QStringLiteral("-enabled"), initscript::kAutostartTimeoutMs);
    if (!result.ran)
        setLastErrorAndEmit(result.error);
    return result.ran && result.answer == 1;
}

bool CServiceManager::setDaemonAutostart(bool enable)
{
    m_lastError.clear();
    const QString option = enable ? QStringLiteral("-enable") : QStringLiteral("-disable");
    const int expected = enable ? 1 : 0;
    const InitScriptResult result = runInitScript(m_scriptPath, option, initscript::kAutostartTimeoutMs);
    if (!result.ran) {
        setLastErrorAndEmit(result.error);
        return false;
    }
    if (result.answer != expected) {
        // the script's own words, so the user sees what it did instead
        const QByteArray said = result.output.trimmed().left(80);
        const QString answer = said == QByteArray::number(result.answer) ? QString::number(result.answer)
                                                                         : QLatin1Char('"') + QString::fromUtf8(said) + QLatin1Char('"');
        setLastErrorAndEmit(QStringLiteral("%1 %2 answered %3, not %4")
                                .arg(QFileInfo(m_scriptPath).fileName(), option, answer)
                                .arg(expected));
        return false;
    }
    return true;
}
