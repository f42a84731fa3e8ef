#pragma once
#include "SMonitorSetting.h"

#include <QString>

// Tests that recognise particular settings of particular monitor types by the setting's
// display name (exact, case-sensitive) and kind. A value read without one warns and counts as 0.

// "Take delta": takeDelta = its value; for the script types ("WMI Query", "SSH (Remote Script
// or Program)", "Python script", "Script or Program") 2 when the value is 1. -1 otherwise.
int scriptTakeDelta(const SMonitorSetting& setting, const QString& typeName, int& takeDelta);
// "Divide returned value by", with or without a leading blank, of kind 's'.
bool isDivisorText(const SMonitorSetting& setting);
// True for "Metric" with the value 1 of "SNMP Process"; else a "Normalize by time" setting of
// kind 'y' hands its value to normalizeByTime.
bool snmpProcessMetric(const SMonitorSetting& setting, const QString& typeName, int& normalizeByTime);
// Collects "Counter Type" (kind 'e') and "Take delta" while they are -1; -1 while either is
// missing, counterType without delta, else 2 for counter type 0 and 1 for any other.
int counterMode(const SMonitorSetting& setting, int& counterType, int& takeDelta);
