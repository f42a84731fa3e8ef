#pragma once
#include "CNetMonSysLight.h"

#include <QSemaphore>

// A component of the network-monitor root. Adds to the light protocol: its subsystem bit,
// a start gate that holds the thread after init until every component is initialised, the
// post-init step, the stop permission asked of the root, and an end gate that holds the
// finished thread until the root joins it. Only the root releases the gates.
class CNetMonSysHeavy : public CNetMonSysLight
{
    Q_OBJECT
public:
    CNetMonSysHeavy(QObject* parent, const QString& name, int subsystemBit);

    int subsystemBit() const { return m_bit; }
    void terminateThread() override;

    // Used by the root only.
    void releaseStartGate() { m_startGate.release(); }
    void releaseEndGate() { m_endGate.release(); }

protected:
    void run() override;
    virtual void postInit() = 0;

private:
    QSemaphore m_startGate{0};
    QSemaphore m_endGate{0};
    const int m_bit;
};
