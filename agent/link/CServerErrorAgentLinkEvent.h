#pragma once
#include "CAgentLinkEvent.h"

#include <QPointer>
#include <QString>

class CAgentServer;

// Posted by an agent server whose setup or listening failed.
class CServerErrorAgentLinkEvent : public CAgentLinkEvent
{
public:
    static constexpr int Type = 3;
    CServerErrorAgentLinkEvent(CAgentServer* server, QString error);
    int type() const override { return Type; }
    // Null once the server has been deleted.
    CAgentServer* server() const;
    const QString& error() const { return m_error; }

private:
    QPointer<CAgentServer> m_server;
    QString m_error;
};
