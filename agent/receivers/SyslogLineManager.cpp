#include "SyslogLineManager.h"
#include "ReceiverPortSetting.h"

#include "common/AgentSettings.h"

SyslogLineManager::SyslogLineManager(QObject* parent, const QString& name, int subsystemBit)
    : SyslogLineManager(parent, name, subsystemBit, configuredPort())
{
}

SyslogLineManager::SyslogLineManager(QObject* parent, const QString& name, int subsystemBit, int port)
    : UdpMessagesManager(parent, name, subsystemBit)
{
    setConnectorThread(new SyslogNetworkThread(this, port));
}

int SyslogLineManager::configuredPort()
{
    const auto settings = openAgentSettings();
    return readReceiverPort(*settings, QStringLiteral("Syslog/UDPReceiverPort"), kDefaultPort);
}
