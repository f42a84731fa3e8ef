#include "CServiceManager.h"

#include "InitScript.h"
#include "_ServiceManagerStartServiceTaskExec.h"
#include "_ServiceManagerStopServiceTaskExec.h"
#include "_ServiceStatusCheckExec.h"

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
    task->start(QThread::InheritPriority);
}

bool CServiceManager::isDaemonAutostartEnabled()
{
    const InitScriptResult result = runInitScript(m_scriptPath, QStringLiteral("-enabled"), initscript::kAutostartTimeoutMs);
    if (!result.ran)
        setLastErrorAndEmit(result.error);
    return result.ran && result.answer == 1;
}

bool CServiceManager::setDaemonAutostart(bool enable)
{
    const QString option = enable ? QStringLiteral("-enable") : QStringLiteral("-disable");
    const InitScriptResult result = runInitScript(m_scriptPath, option, initscript::kAutostartTimeoutMs);
    if (!result.ran) {
        setLastErrorAndEmit(result.error);
        return false;
    }
    return result.answer == (enable ? 1 : 0);
}
