#pragma once

// The daemon's long waits (the 27000 ms shutdown wait, the 1000 ms service-loop step, its
// 30000 ms heap release and the 60, 150, 180 and 300 s timers, and the checks library's
// 299999 ms idle limit of pooled SSH sessions, 55000 ms life of a cached SNMP table, 30000 ms
// limit of a VMware exchange and 5000 ms limit of a VMware logout, and the manager's 1000 ms
// status check and init-script bounds) go through scaledMs(). Tests shorten them with the
// environment variable NETAGENTD_TEST_TIME_SCALE, a factor in (0, 1]; unset, empty or out of
// range means 1, so the specified values stay the defaults. It is read once, at first use.
namespace zam {
double testTimeScale();
int scaledMs(int ms);
}
