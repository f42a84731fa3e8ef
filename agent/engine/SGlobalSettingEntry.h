#pragma once
#include "common/Optional.h"

#include <QString>

// One entry of the configuration store's global-setting table.
struct SGlobalSettingEntry
{
    Optional<int> settingId;
    Optional<int> type;          // 'i' integer, 's' text, 'p' password text
    Optional<int> intValue;
    Optional<QString> textValue;
    const void* decodeContext = nullptr;   // handed to decodePasswordText
};
