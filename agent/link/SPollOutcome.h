#pragma once

#include "engine/CNewMonitorInfo.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>

// What a poll response carries from the poll result record, field by field, whatever
// the size of the engine's own copy of the monitor's value block.
struct SPollOutcome
{
    static constexpr int MiddleSize = 80;

    int status = 1;                // result state
    int result = 1;                // poll return
    int printTimeoutReason = 0;    // poll flags
    int inDiscovery = 0;           // mode
    qint64 perfValue = 0;          // start of the value block
    QByteArray middle;             // the 80 bytes between the performance value and the result code
    qint32 resultCode = 0;
    qint32 measuredValue = 0;
    qint32 words[4] = {0, 0, 0, 0};
    QByteArray resultSections;
    QByteArray failReason;
    QByteArray hostName;
    QByteArray hostAddress;
    QList<CNewMonitorInfo> newMonitors;
};

// The "duration" record: qint64 performance value, six int32, the result sections as
// a byte array, then the 80 middle bytes raw (zero-filled or cut to 80).
QByteArray writePollDurationRecord(const SPollOutcome& outcome);
// The "new_monitors" record: per monitor bool true and the monitor, then bool false.
QByteArray writeNewMonitorsRecord(const QList<CNewMonitorInfo>& monitors);
// Readers of both (for peers and tools); false when the record is short or malformed.
bool readPollDurationRecord(const QByteArray& record, SPollOutcome& outcome);
bool readNewMonitorsRecord(const QByteArray& record, QList<CNewMonitorInfo>& monitors);
