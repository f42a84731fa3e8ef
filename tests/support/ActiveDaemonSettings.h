#pragma once
// Settings for a real daemon in a test's private namespace: active mode over TCP to a service
// on 127.0.0.1 (played by the link test peer), the agent's certificate for its connection id,
// and a free control port. Written to the private "/etc/opt/corvane-agent/quv.ini".

#include <QFile>
#include <QHostAddress>
#include <QString>
#include <QTcpServer>

namespace testdaemon {

// A port that was free a moment ago on 127.0.0.1.
inline quint16 freeLocalPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// controlPort 0 leaves the control port at its default; more is appended as it is (further
// sections).
inline bool writeActiveSettings(quint16 servicePort, const QString& agentCertificate, quint16 controlPort,
                                const QByteArray& more = QByteArray())
{
    QFile f(QStringLiteral("/etc/opt/corvane-agent/quv.ini"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray text = "[Common]\nAgentType=0\n[ActiveAgentSettings]\nTransport=TCP\nHost=127.0.0.1\nPort="
                      + QByteArray::number(servicePort) + "\n[SSLSettings]\nCertificatePath="
                      + agentCertificate.toUtf8() + "\n";
    if (controlPort != 0)
        text += "[AgentControlServer]\nPort=" + QByteArray::number(controlPort) + "\n";
    return f.write(text + more) == text.size() + more.size();
}

} // namespace testdaemon
