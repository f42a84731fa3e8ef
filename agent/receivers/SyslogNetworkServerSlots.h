#pragma once
#include "DataNetworkServerSlots.h"
#include "SyslogLine.h"

// The slots of the syslog network server: the error slot and the parsed line.
class SyslogNetworkServerSlots : public DataNetworkServerSlots
{
    Q_OBJECT
public:
    using DataNetworkServerSlots::DataNetworkServerSlots;

public slots:
    virtual void onDataReceived(SyslogCallbackSharedDataPointer line) = 0;
};
