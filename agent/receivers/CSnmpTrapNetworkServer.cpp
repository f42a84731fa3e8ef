#include "CSnmpTrapNetworkServer.h"

#include "CSnmpTrapManager.h"

namespace {
// What a queued trap holds on to besides its values: the record, its texts and map nodes.
constexpr int kTrapOverhead = 512;
constexpr int kEntryOverhead = 128;
}

CSnmpTrapNetworkServer::CSnmpTrapNetworkServer(QObject* manager, int port)
    : DataNetworkServer(manager)
{
    if (auto* trapManager = qobject_cast<CSnmpTrapManager*>(manager))
        receiver()->setCredentials(&trapManager->credentials());
    connect(receiver(), &CSnmpTrapReceiver::dataReceived, this, &CSnmpTrapNetworkServer::onDataReceived);
    connect(receiver(), &CSnmpTrapReceiver::readFinished, this, [this] { flushPosts(); });
    connect(receiver(), &CSnmpTrapReceiver::error, this, &CSnmpTrapNetworkServer::onError);
    receiver()->setSenderTest([this](const QString& sender) { return !sink() || sink()->acceptsSender(sender); });
    start(port);
}

void CSnmpTrapNetworkServer::onDataReceived(CSnmpTrapPtr trap)
{
    int cost = kTrapOverhead;
    for (auto it = trap->payload.constBegin(); it != trap->payload.constEnd(); ++it)
        cost += kEntryOverhead + 2 * it.key().size() + it.value().data.size();
    postLater(new NetworkMsgServerDataReceivedEvent<CSnmpTrapPtr>(trap, cost));
}
