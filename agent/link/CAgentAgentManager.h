#pragma once
#include "CAgentManager.h"

#include <QExplicitlySharedDataPointer>
#include <QString>

class CMonitorEvent;

// The agent manager of the agent link (name "agent manager", bit 16). Placeholder: there is
// no link yet, so every send finds none and behaves as it does without a link.
class CAgentAgentManager : public CAgentManager
{
    Q_OBJECT
public:
    CAgentAgentManager(QObject* parent, const QString& name, int subsystemBit);

    int subsystemBit() const { return m_bit; }

    // Answers true when there is no link (nothing is sent then).
    virtual bool sendPollResult(int transactionId);
    virtual void sendResolveResponse(int linkValue, int requestId, bool addressFlag, const QString& text,
                                     const QString& result);
    // Any thread; dropped without a message when there is no link.
    virtual void sendMonitorEvent(int monitorId, const QExplicitlySharedDataPointer<CMonitorEvent>& event);
    virtual void sendExtendedCaps(int transactionId);
    virtual void requestReconnect();

private:
    const int m_bit;
};
