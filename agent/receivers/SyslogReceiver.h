#pragma once
#include "DatagramBatch.h"

#include <QObject>
#include <functional>

class UdpDatagramSocket;

// Owns the syslog UDP socket: reads the datagrams and signals those of one read as one batch,
// to be parsed where the batch is taken (the syslog manager's thread): this thread only keeps
// the socket drained, so a busy parser costs no datagram. The port is not shared with other
// sockets, so a port another syslog daemon holds is reported busy instead of splitting the
// datagrams between the two. A datagram from a sender that no subscription names is dropped
// here, unread.
// Threads: lives and runs on its connector thread; the signals are direct calls there, and
// the sender test is called there.
// Ownership: the socket is its QObject child; a signalled batch is shared read-only.
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

    quint16 localPort() const;

    // Datagrams read per readyRead at most; the rest come with the socket's next signal.
    // Each readyRead costs a batch, a post to the manager and a return to the event loop: at
    // a million lines a second, fewer and larger ones leave the thread time to spare.
    static constexpr int kMaxDatagramsPerRead = 512;
    // The pause between reads while datagrams keep coming: the datagrams it aims to gather
    // (two socket reads' worth: a shorter pause wakes the thread more often than the lines
    // are worth, a longer one adds latency and leaves less of the socket's buffer for a
    // stall of this thread), its bounds, and how long one readyRead may gather.
    // The longest pause fills a quarter of a 208 KiB buffer (256 short datagrams) only at 160k
    // datagrams a second.
    static constexpr int kGatherTarget = 64;
    static constexpr long kMinGatherPauseNs = 50000;
    static constexpr long kMaxGatherPauseNs = 400000;
    static constexpr long kGatherLimitNs = 1000000;

signals:
    void error(const QString& text);
    // The wanted datagrams of one readyRead, in their order; never empty.
    void datagramsReceived(DatagramBatchPtr batch);

public slots:
    void readyRead();

private:
    UdpDatagramSocket* m_socket;
    std::function<bool(const QString&)> m_wanted;
    long m_pauseNs = kMinGatherPauseNs;
    // A batch starts with room for as many bytes as the last took, up to a bound: grown from
    // a small buffer, a read of many datagrams copies them over and over.
    static constexpr int kMaxReservedBytes = 1 << 20;
    int m_lastBatchBytes = 0;
};
