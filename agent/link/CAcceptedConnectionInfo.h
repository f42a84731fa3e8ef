#pragma once
#include "common/CPendingConnectionSlot.h"
#include "common/SAgentConnectionSettings.h"

#include <QExplicitlySharedDataPointer>
#include <QSharedData>
#include <utility>

class CAgentConnection;
class IAgentConnectionEvent;
class QObject;

// An accepted socket descriptor with the settings of the server that took it. Made on the
// agent manager's thread, turned into a socket and a connection on the link's worker thread.
// Owns the descriptor until createSocket takes it; a descriptor never taken is closed here.
class CAcceptedConnectionInfo : public QSharedData
{
public:
    CAcceptedConnectionInfo(const SAgentConnectionSettings& settings, int descriptor,
                            CPendingConnectionSlotPtr pendingSlot = {});
    virtual ~CAcceptedConnectionInfo();

    // A new connection of the info's transport: no parent, handler or socket.
    virtual CAgentConnection* createConnection() const = 0;
    // A new socket on the descriptor (once; later calls give null).
    virtual QObject* createSocket() = 0;

    const SAgentConnectionSettings& settings() const { return m_settings; }
    int descriptor() const { return m_descriptor; }
    // The place in the server's pending count moves to the connection made from this info.
    CPendingConnectionSlotPtr takePendingSlot() { return std::exchange(m_pendingSlot, {}); }

protected:
    // Hands the descriptor over; -1 when it was taken already.
    int takeDescriptor();

private:
    SAgentConnectionSettings m_settings;
    int m_descriptor = -1;
    bool m_taken = false;
    CPendingConnectionSlotPtr m_pendingSlot;
};

using CAcceptedConnectionInfoPtr = QExplicitlySharedDataPointer<CAcceptedConnectionInfo>;

// Builds the socket and the connection from an info and accepts; null when the info has no
// socket to give.
CAgentConnection* createAcceptedAgentConnection(const CAcceptedConnectionInfoPtr& info,
                                                IAgentConnectionEvent* handler, const QString& preError);
