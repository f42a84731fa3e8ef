#pragma once
#include "SSettingValue.h"
#include "common/Optional.h"

#include <QString>

class CConfigManagerBase;
struct stZamMonitor;

// Looks up the configured value of a monitor's setting in the configuration store: true with
// out filled when the monitor's type is named typeName and a value of its setting settingName
// is configured. Holds the store's read gate only while it copies the configuration map and the
// monitor's configuration record, so it may run on any thread.
bool findSettingValue(CConfigManagerBase& manager, const stZamMonitor& monitor, const QString& typeName,
                      const QString& settingName, SSettingValue& out);
// The same with the running daemon's configuration manager (throws when there is none).
bool findSettingValue(const stZamMonitor& monitor, const QString& typeName, const QString& settingName,
                      SSettingValue& out);

// Equal when neither is set (unset or a stream's state 0), both are null, or both hold equal
// values.
bool sameOptionalInt(const Optional<int>& a, const Optional<int>& b);
