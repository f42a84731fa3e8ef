#pragma once
#include <QString>

// What the checks library asks of the daemon's plug-in settings. The order of the virtual
// operations is shared with the library: pythonPath, then the destructor.
class IPluginGlobalSettings
{
public:
    virtual QString pythonPath() = 0;
    virtual ~IPluginGlobalSettings() = default;
};
