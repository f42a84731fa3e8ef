#pragma once
#include "CNetworkMonitor.h"

#include <QObject>

// The service loop. Runs on the main thread, which never runs a Qt event loop: creates the
// network-monitor root, waits in 1000 ms steps until a stop is asked for or a component
// fails, then shuts the components down in order.
class ServiceThread : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    void serve(const CNetworkMonitor::ComponentFactory& factory = CNetworkMonitor::ComponentFactory());
    // Ends the current wait step at once (any thread).
    static void wake();
};
