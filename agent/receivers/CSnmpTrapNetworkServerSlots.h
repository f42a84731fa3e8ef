#pragma once
#include "CSnmpTrap.h"
#include "DataNetworkServerSlots.h"

// The slots of the trap network server: the error slot and the received trap.
class CSnmpTrapNetworkServerSlots : public DataNetworkServerSlots
{
    Q_OBJECT
public:
    using DataNetworkServerSlots::DataNetworkServerSlots;

public slots:
    virtual void onDataReceived(CSnmpTrapPtr trap) = 0;
};
