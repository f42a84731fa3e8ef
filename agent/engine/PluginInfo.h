#pragma once
#include "common/Optional.h"

#include <QString>

// One entry of the plug-in information table: which library file serves a plug-in id.
struct PluginInfo
{
    int pluginId = 0;
    Optional<QString> name;
    Optional<QString> fileName;
};
