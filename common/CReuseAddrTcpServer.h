#pragma once
#include <QHostAddress>
#include <QString>
#include <QTcpServer>
#include <functional>

// Listener that hands every accepted descriptor to its owner and never makes socket objects
// or queues pending connections itself. Lives on the thread of its owner (its Qt parent).
class CReuseAddrTcpServer : public QTcpServer
{
    Q_OBJECT
public:
    using TakeConnection = std::function<void(int descriptor)>;
    CReuseAddrTcpServer(QObject* owner, TakeConnection take);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    TakeConnection m_take;
};

// Opens an IPv4 listening socket with SO_REUSEADDR and a backlog of 128 on the address (one
// without an IPv4 value: all IPv4 interfaces) and gives it to the listener.
bool listenWithReuseAddress(QTcpServer* listener, const QHostAddress& address, int port, QString& error);

