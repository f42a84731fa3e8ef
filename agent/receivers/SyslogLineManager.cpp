#include "SyslogLineManager.h"

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
    return readSettingPort(QStringLiteral("Syslog/UDPReceiverPort"), kDefaultPort);
}
