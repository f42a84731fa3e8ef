#include "CSnmpTrapManager.h"

#include "common/AgentSettings.h"

#include <QDebug>

CSnmpTrapManager::CSnmpTrapManager(QObject* parent, const QString& name, int subsystemBit)
    : CSnmpTrapManager(parent, name, subsystemBit, configuredPort())
{
}

CSnmpTrapManager::CSnmpTrapManager(QObject* parent, const QString& name, int subsystemBit, int port)
    : UdpMessagesManager(parent, name, subsystemBit)
{
    setConnectorThread(new CSnmpTrapNetworkThread(this, port));
}

int CSnmpTrapManager::configuredPort()
{
    return readSettingPort(QStringLiteral("SNMP/UDPTrapReceiverPort"), kDefaultPort);
}

void CSnmpTrapManager::updateCredentials(const SSnmpTrapCredential& credential)
{
    // Logged only: the listen error that "The receiver is not ready" reports stays as it is.
    if (!m_credentials.update(credential))
        logWarning(QStringLiteral("%1: error occurred: receiver is not initialized yet").arg(name()));
}
