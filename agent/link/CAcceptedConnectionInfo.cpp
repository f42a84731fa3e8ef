#include "CAcceptedConnectionInfo.h"

#include "common/CAgentConnection.h"

#include <unistd.h>

CAcceptedConnectionInfo::CAcceptedConnectionInfo(const SAgentConnectionSettings& settings, int descriptor,
                                                 CPendingConnectionSlotPtr pendingSlot)
    : m_settings(settings), m_descriptor(descriptor), m_pendingSlot(std::move(pendingSlot))
{
}

CAcceptedConnectionInfo::~CAcceptedConnectionInfo()
{
    if (!m_taken && m_descriptor >= 0)
        ::close(m_descriptor);
}

int CAcceptedConnectionInfo::takeDescriptor()
{
    if (m_taken)
        return -1;
    m_taken = true;
    return m_descriptor;
}

CAgentConnection* createAcceptedAgentConnection(const CAcceptedConnectionInfoPtr& info,
                                                IAgentConnectionEvent* handler, const QString& preError)
{
    if (!info)
        return nullptr;
    QObject* socket = info->createSocket();
    if (!socket)
        return nullptr;
    CAgentConnection* connection = info->createConnection();
    connection->setEventHandler(handler);
    connection->setPendingSlot(info->takePendingSlot());
    connection->acceptPeer(socket, info->settings(), preError);
    return connection;
}
