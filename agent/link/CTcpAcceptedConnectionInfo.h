#pragma once
#include "CAcceptedConnectionInfo.h"

class CTcpAcceptedConnectionInfo : public CAcceptedConnectionInfo
{
public:
    using CAcceptedConnectionInfo::CAcceptedConnectionInfo;
    CAgentConnection* createConnection() const override;
    QObject* createSocket() override;
};
