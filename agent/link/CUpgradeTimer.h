#pragma once

#include <QTimer>

class CAgentUpgrade;

// The single-shot timer of an upgrade in progress; its timeout ends the upgrading state.
// Threads: lives on its owner's thread.
class CUpgradeTimer : public QTimer
{
    Q_OBJECT
public:
    explicit CUpgradeTimer(CAgentUpgrade* owner);

private slots:
    void onTimeout();

private:
    CAgentUpgrade* const m_owner;
};
