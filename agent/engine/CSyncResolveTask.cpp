#include "CSyncResolveTask.h"
#include "CTaskManager.h"
#include "core/CNetworkMonitor.h"
#include "CTaskManager.h"
#include "IEngineOutput.h"

#include <QMutex>
#include <QMutexLocker>

namespace {
QMutex g_sinkMutex;
CSyncResolveTask::ResponseSink g_sink;
}

CSyncResolveTask::CSyncResolveTask(int linkValue, int requestId, bool addressFlag, const QString& text,
                                   const QString& previousAnswer)
    : CTask(QStringLiteral("unknown task"))
    , m_linkValue(linkValue)
    , m_requestId(requestId)
    , m_addressFlag(addressFlag)
    , m_text(text)
    , m_previousAnswer(previousAnswer)
{
}

void CSyncResolveTask::setResponseSink(const ResponseSink& sink)
{
    QMutexLocker locker(&g_sinkMutex);
    g_sink = sink;
}

void CSyncResolveTask::exec(CTaskThread*)
{
    m_result = CTaskManager::resolveSync(m_addressFlag, m_text, m_previousAnswer);
}

bool CSyncResolveTask::shouldReport() const
{
    return !(m_result.isEmpty() && m_linkValue == -1 && (m_requestId & 0x7fffffff) == 0);
}

void CSyncResolveTask::done(CTaskThread*)
{
    if (!shouldReport())
        return;
    ResponseSink sink;
    {
        QMutexLocker locker(&g_sinkMutex);
        sink = g_sink;
    }
    if (sink)
        sink(m_linkValue, m_requestId, m_addressFlag, m_text, m_result);
    else
        taskManager()->output().sendResolveResponse(m_linkValue, m_requestId, m_addressFlag, m_text, m_result);
}
