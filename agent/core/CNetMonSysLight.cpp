#include "CNetMonSysLight.h"
#include "CNetworkMonitor.h"

#include <QMutexLocker>
#include <exception>

namespace {
// Pause after a run step that threw, before it is called again.
constexpr int kRunStepBackoffMs = 100;
}

CNetMonSysLight::CNetMonSysLight(QObject* parent, const QString& name)
    : QThread(parent)
    , m_constructionName(name)
{
    setName(name);
}

CNetMonSysLight::~CNetMonSysLight() = default;

QString CNetMonSysLight::name() const
{
    QMutexLocker locker(&m_mutex);
    return m_name;
}

void CNetMonSysLight::setName(const QString& name)
{
    {
        QMutexLocker locker(&m_mutex);
        m_name = name;
    }
    setObjectName(name);
}

bool CNetMonSysLight::isStopping() const
{
    QMutexLocker locker(&m_mutex);
    return m_stop;
}

void CNetMonSysLight::setStopFlag()
{
    QMutexLocker locker(&m_mutex);
    m_stop = true;
    m_stopCond.wakeAll();
}

void CNetMonSysLight::waitUnlessStopping(int ms)
{
    QMutexLocker locker(&m_mutex);
    if (!m_stop)
        m_stopCond.wait(&m_mutex, static_cast<unsigned long>(ms));
}

void CNetMonSysLight::waitForStop()
{
    QMutexLocker locker(&m_mutex);
    while (!m_stop)
        m_stopCond.wait(&m_mutex);
}

void CNetMonSysLight::logStepException(const char* stepText, const char* what)
{
    if (what)
        qWarning("%s: exception in %s: %s", qPrintable(name()), stepText, what);
    else
        qWarning("%s: exception in %s", qPrintable(name()), stepText);
}

void CNetMonSysLight::stop()
{
    setStopFlag();
    bool threw;
    guardedStep("stop", [this] { onStop(); }, threw);
}

void CNetMonSysLight::terminateNow()
{
    bool threw;
    guardedStep("terminate", [this] { onTerminate(); }, threw);
    disconnect(this, &QThread::finished, this, &QObject::deleteLater);
    qWarning("terminating thread");
    terminate();
    wait(1000);
    qWarning("thread terminated");
}

bool CNetMonSysLight::guardedInit()
{
    bool ok = false;
    bool threw;
    guardedStep("init", [this, &ok] { ok = init(); }, threw);
    return ok && !threw;
}

bool CNetMonSysLight::guardedRunStep()
{
    bool again = false;
    bool threw;
    guardedStep("run", [this, &again] { again = runStep(); }, threw);
    if (threw) {
        // Called again, after a pause, unless the component has been told to stop.
        waitUnlessStopping(kRunStepBackoffMs);
        return !isStopping();
    }
    return again;
}

void CNetMonSysLight::guardedShutdown()
{
    bool threw;
    guardedStep("shutdown", [this] { shutdown(); }, threw);
}

void CNetMonSysLight::run()
{
    const bool ok = guardedInit();
    if (!ok)
        CNetworkMonitor::reportInitFailure(name());
    while (guardedRunStep()) {
    }
    guardedShutdown();
}
