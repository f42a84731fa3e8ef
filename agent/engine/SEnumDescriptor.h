#pragma once
#include "common/Optional.h"

#include <QString>

// One choice of an enumeration setting as the configuration store describes it. Plain value.
struct SEnumDescriptor
{
    Optional<int> id;
    Optional<int> settingId;
    Optional<QString> disabledNames;
    Optional<QString> name;
    Optional<QString> description;
    Optional<int> value;
};
