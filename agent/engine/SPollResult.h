#pragma once
#include "CNewMonitorInfo.h"

#include <QByteArray>
#include <QList>
#include <QSharedPointer>

// The outcome of one poll: created by the agent link for each poll request, filled by the poll
// task, and read by the link after sendPollResult to build the poll response.
// Threads: only the poll task writes it until it calls sendPollResult; the link reads it after.
struct SPollResult
{
    enum State { Running = 1, NoMonitorId = 2, Polled = 3, MonitorNotFound = 4 };
    static constexpr int kOutcomeSize = 120;

    int state = Running;
    int pollFlags = 0;
    int pollReturn = 1;                                  // 0 success, 1 failure
    QByteArray outcome = QByteArray(kOutcomeSize, '\0'); // record bytes 0x0b8..0x12f
    QByteArray resultSections;
    QByteArray failReason;
    QByteArray hostName;
    QByteArray hostAddress;
    QList<CNewMonitorInfo> newMonitors;
    int mode = 0;
};

using SPollResultPtr = QSharedPointer<SPollResult>;
