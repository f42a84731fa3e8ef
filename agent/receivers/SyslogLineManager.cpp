#include "SyslogLineManager.h"

#include "common/AgentSettings.h"

#include <QDebug>

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

void SyslogLineManager::handleDatagram(const QByteArray& datagram, const QString& sender)
{
    auto* line = new SyslogLine;
    const SyslogCallbackSharedDataPointer shared(line);
    line->valid = line->parse(datagram, sender);
    if (line->valid) {
        handleMessage(shared);
        return;
    }
    quint64 count = 0;
    if (m_parseLog.note(monotonicMs(), count))
        qWarning().noquote() << QStringLiteral("syslog receiver: %1 datagrams could not be parsed, the last from %2: %3")
                                    .arg(count)
                                    .arg(line->sender, line->parseStatus);
}

void SyslogLineManager::shutdown()
{
    UdpMessagesManager::shutdown();
    quint64 count = 0;
    if (m_parseLog.flush(count))
        qWarning().noquote() << QStringLiteral("syslog receiver: %1 more datagrams could not be parsed").arg(count);
}
