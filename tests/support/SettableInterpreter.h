#pragma once
// The plug-in global settings a checks test hands the library: only the Python interpreter's
// path, which a test may change (a missing one, a fake one). One per test program.
#include "zam_plugin_api.h"

#include <QString>

class SettableInterpreter : public IPluginGlobalSettings
{
public:
    QString pythonPath() override { return path; }
    QString path = QStringLiteral("/usr/bin/python3");
};

inline SettableInterpreter& interpreter()
{
    static SettableInterpreter settings;
    return settings;
}

inline IPluginGlobalSettings* globalSettings() { return &interpreter(); }
