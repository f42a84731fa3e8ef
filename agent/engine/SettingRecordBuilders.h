#pragma once
#include "SEnumDescriptor.h"
#include "SMonitorSetting.h"
#include "SSettingDescriptor.h"
#include "SSettingValue.h"

#include <QString>

struct stZamMonitor;

// Setting records of a monitor built from the configuration store's descriptors and values,
// and from a plain name. Pure functions over their arguments (the records are read, not
// changed); unset Optional fields read along the way warn and give empty values.

// "setting <descriptor name> for <ownerName>", with its choices. With useAdminMacros a login,
// password or domain setting takes "$AdminName", "$AdminPassword" or "$AdminDomain" instead of
// the value; otherwise a password value is decoded.
SMonitorSetting makeMonitorSetting(const SSettingValue& value, const SSettingDescriptor& descriptor,
                                   bool useAdminMacros, const QString& ownerName);
// "enum <descriptor name> for <settingName>".
SSettingEnumValue makeSettingEnumValue(const SEnumDescriptor& descriptor, const QString& settingName);
// A text setting named, shown and valued by the name itself.
SMonitorSetting monitorSettingFromName(const QString& name);

// Drops the record's settings: entries, setting records, and the library's count and pointer.
void clearSettings(stZamMonitor& monitor);
