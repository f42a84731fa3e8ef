#include "SyslogNetworkServer.h"

namespace {
// What a queued line holds on to besides its datagram's text: the parsed fields and records.
constexpr int kLineOverhead = 512;
}

SyslogNetworkServer::SyslogNetworkServer(QObject* manager, int port)
    : DataNetworkServer(manager)
{
    connect(receiver(), &SyslogReceiver::dataReceived, this, &SyslogNetworkServer::onDataReceived);
    connect(receiver(), &SyslogReceiver::readFinished, this, [this] { flushPosts(); });
    connect(receiver(), &SyslogReceiver::error, this, &SyslogNetworkServer::onError);
    receiver()->setSenderTest([this](const QString& sender) { return !sink() || sink()->acceptsSender(sender); });
    start(port);
}

void SyslogNetworkServer::onDataReceived(SyslogCallbackSharedDataPointer line)
{
    // The raw text and the message are both kept, two bytes a character.
    const int cost = kLineOverhead + 4 * line->rawText.size();
    postLater(new NetworkMsgServerDataReceivedEvent<SyslogCallbackSharedDataPointer>(line, cost));
}
