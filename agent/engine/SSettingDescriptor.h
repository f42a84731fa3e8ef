#pragma once
#include "SEnumDescriptor.h"
#include "common/Optional.h"

#include <QList>
#include <QString>

// One setting of a monitor type as the configuration store describes it. Plain value.
struct SSettingDescriptor
{
    Optional<int> id;
    Optional<int> typeId;
    Optional<int> kind;             // setting kind letter
    Optional<QString> name;
    Optional<QString> description;
    Optional<int> order;
    Optional<int> minValue;
    Optional<int> maxValue;
    Optional<QString> defaultText;
    QList<SEnumDescriptor> enumDescriptors;
};
