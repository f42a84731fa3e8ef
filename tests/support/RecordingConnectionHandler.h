#pragma once
// A connection event handler that records what it hears, for tests of connections and links.
#include "common/IAgentConnectionEvent.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class RecordingConnectionHandler : public IAgentConnectionEvent
{
public:
    void connectionEstablished() override { events << QStringLiteral("established"); }
    void connectionClosed() override { events << QStringLiteral("closed"); }
    void dataArrived(const char* data, unsigned int count) override { received.append(data, int(count)); }
    void connectionError(const QString& error) override { events << QStringLiteral("error:") + error; }
    void connectionLog(const QString& text) override { events << QStringLiteral("log:") + text; }

    bool has(const QString& event) const { return events.contains(event); }
    int count(const QString& prefix) const
    {
        int n = 0;
        for (const QString& e : events)
            n += e.startsWith(prefix) ? 1 : 0;
        return n;
    }
    bool finished() const { return has(QStringLiteral("closed")) || count(QStringLiteral("error:")) > 0; }

    QStringList events;
    QByteArray received;
};
