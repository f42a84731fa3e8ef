#pragma once
// The settings of one VMware monitor: the server address (the monitor's address text), the
// credentials, the name of the watched object, the metric index and the unit code that applies
// to it. Plain value type of one poll.

#include "VMwareObject.h"

#include <QString>

struct stZamMonitor;

struct VMwareOptions
{
    QString address;
    QString user;
    QString password;
    QString objectName;  // "Virtual Machine Name" or "Datastore Name"; empty for a host
    int metric = 0;
    int unit = 0;

    // Reads the settings of the monitor for its object kind; false with the failure reason
    // "Incorrect monitor parameters" when they cannot be parsed. Missing settings stay empty
    // or 0.
    bool getOptions(stZamMonitor* mon, VMwareObjectType kind);
};
