#pragma once
#include "SyslogLineFilter.h"
#include "SyslogNetworkThread.h"
#include "UdpDataMatcher.h"
#include "UdpMessagesManager.h"

#include "common/RateLimitedLog.h"

// The syslog receiver's component ("syslog lines manager", bit 64): the receiving manager
// over syslog lines and filters, listening on "Syslog/UDPReceiverPort" (default 514). Its
// receiver hands on raw datagrams; it parses each into a SyslogLine here. Datagrams that do
// not parse are counted and logged now and then, never as the receiver's error.
// Threads and ownership: those of UdpMessagesManager; built and stopped by the root. The
// parse log is the manager thread's own.
class SyslogLineManager : public UdpMessagesManager<SyslogNetworkThread, UdpDataMatcher<SyslogLineFilter> >
{
    Q_OBJECT
public:
    static constexpr int kDefaultPort = 514;
    static constexpr qint64 kParseLogIntervalMs = 10000;

    // Reads the port from the agent settings file.
    SyslogLineManager(QObject* parent, const QString& name, int subsystemBit);
    // On the given port (tests and tools).
    SyslogLineManager(QObject* parent, const QString& name, int subsystemBit, int port);

    static int configuredPort();

protected:
    void handleDatagram(const QByteArray& datagram, const QString& sender) override;
    void shutdown() override;

private:
    RateLimitedLog m_parseLog{kParseLogIntervalMs};
};
