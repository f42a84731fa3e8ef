#pragma once
// Runs one heavy component thread without the network-monitor root: start, open its start
// gate, and at the end stop it, open its end gate and join it.
#include "core/CNetMonSysHeavy.h"

template <class Component>
class ComponentRunner
{
public:
    explicit ComponentRunner(Component* component) : m_c(component) {}
    ~ComponentRunner() { finish(); }

    void start()
    {
        m_c->start();
        m_c->releaseStartGate();
    }
    void finish()
    {
        if (m_finished || !m_c->isRunning())
            return;
        m_finished = true;
        m_c->stop();
        m_c->releaseEndGate();
        m_c->wait();
    }

private:
    Component* m_c;
    bool m_finished = false;
};
