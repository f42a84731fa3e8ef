#pragma once
#include "common/RateLimitedLog.h"
#include "SyslogLine.h"

#include <QElapsedTimer>
#include <QObject>
#include <functional>

class UdpDatagramSocket;

// Owns the syslog UDP socket: reads the datagrams, parses each into a SyslogLine and signals
// the valid ones. The port is not shared with other sockets, so a port another syslog daemon
// holds is reported busy instead of splitting the datagrams between the two. Datagrams that
// do not parse are counted and logged now and then, never as the socket's error. A datagram
// from a sender that no subscription names is dropped before it is parsed.
// Threads: lives and runs on its connector thread; the signals are direct calls there, and
// the sender test is called there.
// Ownership: the socket is its QObject child.
class SyslogReceiver : public QObject
{
    Q_OBJECT
public:
    explicit SyslogReceiver(QObject* parent);
    ~SyslogReceiver() override;

    // Binds every local address; on failure emits error with the reason and answers false.
    bool listen(int port);
    void close();

    // Which senders' datagrams are read further; unset, all are.
    void setSenderTest(const std::function<bool(const QString& sender)>& wanted) { m_wanted = wanted; }

    quint64 parseErrorCount() const { return m_parseLog.total(); }
    quint16 localPort() const;

    // Datagrams read per readyRead at most; the rest come with the socket's next signal.
    static constexpr int kMaxDatagramsPerRead = 256;
    static constexpr qint64 kParseLogIntervalMs = 10000;
    // Pause between reads while datagrams keep coming, and how long one read may gather.
    static constexpr long kGatherPauseNs = 100000;
    static constexpr long kGatherLimitNs = 1000000;

signals:
    void error(const QString& text);
    void dataReceived(SyslogCallbackSharedDataPointer line);
    // After the lines of one readyRead: they can be handed on at once.
    void readFinished();

public slots:
    void readyRead();

private:
    void countParseError(const SyslogLine& line);

    UdpDatagramSocket* m_socket;
    std::function<bool(const QString&)> m_wanted;
    RateLimitedLog m_parseLog{kParseLogIntervalMs};
    QElapsedTimer m_clock;
};
