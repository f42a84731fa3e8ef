#pragma once
#include "common/Optional.h"

#include <QString>
#include <memory>

// A configured value of one monitor setting in the configuration store. Plain value.
struct SSettingValue
{
    Optional<int> id;
    Optional<int> monitorId;
    Optional<int> settingId;        // the id of the descriptor the value belongs to
    Optional<int> intValue;
    Optional<QString> textValue;
    std::shared_ptr<const void> decodingContext;   // handed to decodePasswordText
};
