#pragma once
// Poll requests as the service sends them, and a listener that never answers, for tests that
// drive the daemon's poll road from the test peer.
#include "engine/stZamMonitor.h"
#include "support/AgentTestPeer.h"

#include <QDataStream>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pollframes {

// A TCP monitor record (type index 1) of 127.0.0.1:port, in the stream form the service sends.
inline QByteArray tcpMonitorData(int monitorId, int port, int timeoutMs)
{
    stZamMonitor r;
    r.optMonitorId = Optional<int>(monitorId);
    r.pluginId = 1;
    r.typeIndex = 1;
    r.mode = 0;
    r.useHostName = 0;
    qstrncpy(r.hostName, "127.0.0.1", sizeof(r.hostName));
    qstrncpy(r.hostAddress, "127.0.0.1", sizeof(r.hostAddress));
    r.timeout = timeoutMs;
    SMonitorSetting portSetting;
    portSetting.displayName.setValue("Port");
    portSetting.displayHint.setValue("port to connect to");
    portSetting.kind = 'i';
    portSetting.intValue = Optional<int>(port);
    portSetting.valueText = QString::number(port);
    r.settingRecords = {portSetting};
    r.buildSettingEntries();
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(7);
    writeMonitorRecord(out, r);
    return bytes;
}

inline QByteArray pollWithSettings(int transactionId, const QByteArray& monitorData, int templateId = -1)
{
    QList<peer::Field> fields{peer::Field::raw("monitor_data", monitorData),
                              peer::Field::num("has_template_id", templateId >= 0 ? 1 : 0)};
    if (templateId >= 0)
        fields << peer::Field::num("template_id", templateId);
    return peer::frame(transactionId, peer::msg::PollWithSettingsReq, fields);
}

inline QByteArray pollById(int transactionId, int monitorId)
{
    return peer::frame(transactionId, peer::msg::PollReq,
                       {peer::Field::num("mon_id", monitorId), peer::Field::num("has_template_id", 0)});
}

inline QByteArray abortPoll(int transactionId)
{
    return peer::frame(-1, peer::msg::AbortPollNot, {peer::Field::num("abort_transaction", transactionId)});
}

// A listener whose accept queue is full: further connection attempts get no answer, so a
// check against it runs until its time budget is spent or it is told to stop.
class StalledListener
{
public:
    StalledListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(a);
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 || ::listen(m_fd, 0) != 0
            || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        m_port = ntohs(a.sin_port);
        for (int& c : m_fillers) {
            c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(c, reinterpret_cast<sockaddr*>(&a), sizeof(a));
        }
    }
    ~StalledListener()
    {
        for (int c : m_fillers)
            if (c >= 0)
                ::close(c);
        if (m_fd >= 0)
            ::close(m_fd);
    }
    StalledListener(const StalledListener&) = delete;
    StalledListener& operator=(const StalledListener&) = delete;
    quint16 port() const { return m_port; }

private:
    int m_fd = -1;
    int m_fillers[2] = {-1, -1};
    quint16 m_port = 0;
};

} // namespace pollframes
