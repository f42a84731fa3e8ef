#pragma once

#include "Optional.h"

#include <QString>

// The parts of a host record of the monitoring model that host comparison reads.
struct SHostRec
{
    Optional<QString> hostName;
    Optional<QString> ipAddress;   // dotted text
    Optional<bool> matchFlag;
};
