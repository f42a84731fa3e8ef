#pragma once
#include "core/CNetMonSysLight.h"

// The Qt face of a receiver's connector thread ("udp messages manager server thread").
class BaseUdpConnectorThread : public CNetMonSysLight
{
    Q_OBJECT
public:
    explicit BaseUdpConnectorThread(QObject* manager);
    void terminateThread() override { terminateNow(); }
};
