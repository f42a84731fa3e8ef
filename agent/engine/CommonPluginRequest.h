#pragma once
#include <QExplicitlySharedDataPointer>
#include <QSemaphore>
#include <QSharedData>

// A task thread's (or the task manager's) request that the plug-in manager load a plug-in id.
// The requester waits on done; the queued task holds a second reference while it waits to be
// served, so the requester can tell a dropped request from a slow one.
struct CommonPluginRequest : public QSharedData
{
    CommonPluginRequest(int id, int threadNumber)
        : pluginId(id)
        , requestingThread(threadNumber)
    {
    }
    int pluginId;
    int requestingThread;   // carried along for diagnostics
    QSemaphore done{0};
};

using CommonPluginRequestPtr = QExplicitlySharedDataPointer<CommonPluginRequest>;
