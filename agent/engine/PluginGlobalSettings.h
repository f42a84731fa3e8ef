#pragma once
#include "zam_plugin_api.h"

#include <QString>

#include <QMutex>

// The process-wide plug-in settings: which Python interpreter the library runs. The
// configuration manager fills it at its post-init step; task threads read it through the
// library at any time, so reads and the write take a mutex (a read overlapping the write sees
// either the old or the new values, never a torn text).
class PluginGlobalSettings : public IPluginGlobalSettings
{
public:
    static PluginGlobalSettings* instance();

    QString pythonPath() override;

    void setUseBuiltIn(bool on);
    void setCustomPath(const QString& path);
    void setBuiltInPath(const QString& path);
    // All three at once, as the configuration manager writes them.
    void set(bool useBuiltIn, const QString& customPath, const QString& builtInPath);

private:
    QMutex m_mutex;
    bool m_useBuiltIn = false;
    QString m_customPath;
    QString m_builtInPath;
};

// The value behind the service name "PluginGlobalSettings_getInterface".
IPluginGlobalSettings* getPluginGlobalSettingsInterface();
