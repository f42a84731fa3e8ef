#pragma once
#include "DataNetworkServerSlots.h"
#include "DatagramBatch.h"

// The slots of the syslog network server: the error slot and the datagrams of one read.
class SyslogNetworkServerSlots : public DataNetworkServerSlots
{
    Q_OBJECT
public:
    using DataNetworkServerSlots::DataNetworkServerSlots;

public slots:
    virtual void onDatagramsReceived(DatagramBatchPtr batch) = 0;
};
