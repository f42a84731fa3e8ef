#pragma once
// An sshd of the test's own on 127.0.0.1 and a free port, with the test servers' host key,
// login and authorised keys but a stock OpenSSH configuration (plus the lines the test adds),
// and a verbose log of its own, so connection counts and restarts disturb no other test.
// Used from the test's thread only; the destructor ends the server and its session processes.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtGlobal>

class PrivateSshd
{
public:
    explicit PrivateSshd(const QStringList& extraConfig = {});
    ~PrivateSshd();
    PrivateSshd(const PrivateSshd&) = delete;
    PrivateSshd& operator=(const PrivateSshd&) = delete;

    // Listening; else why not.
    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    quint16 port() const { return m_port; }
    // TCP connections the server accepted so far ("Connection from" lines of its log).
    int connectionCount() const;
    // Ends the server and every session it serves, then starts it again on the same port.
    bool restart();

private:
    bool start();
    void stop();
    // Connects once to the port; the server logs every such probe.
    bool probe();

    QTemporaryDir m_dir;
    QString m_error;
    quint16 m_port = 0;
    qint64 m_pid = 0;
    int m_probes = 0;
};
