#pragma once
// The daemon's global plug-in settings as the library sees them. The daemon implements it and
// hands out one process-wide instance; both sides must lay out the virtual table alike:
// pythonPath first, then the destructors. The library never creates or deletes one.

#include <QString>

class IPluginGlobalSettings
{
public:
    virtual QString pythonPath() = 0;
    virtual ~IPluginGlobalSettings() = default;
};
