#pragma once
#include "CAgentManager.h"

#include <QExplicitlySharedDataPointer>
#include <QMutex>
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

    // Link status on the control port. Any thread.
    // Answers a status request (code 10001) with code 10002 through the control server.
    void onLinkStatusRequest();
    // Whether a link to the central service is current.
    bool hasCurrentLink() const;
    // Called where a link becomes current (true) and where the current link is dropped
    // (false); a change is pushed to the control port as code 10002.
    void setLinkStatus(bool linkExists);

protected:
    // Sends code 10002 with the current status; called with m_linkStatusMutex held.
    void broadcastLinkStatus();

private:
    const int m_bit;
    // Guards m_linkExists; held while the status goes to the control server, so pushes and
    // answers leave in the order of the changes.
    mutable QMutex m_linkStatusMutex;
    bool m_linkExists = false;
};
