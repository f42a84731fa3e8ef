#include "PluginGlobalSettings.h"

#include <QMutexLocker>

PluginGlobalSettings* PluginGlobalSettings::instance()
{
    static PluginGlobalSettings settings;
    return &settings;
}

QString PluginGlobalSettings::pythonPath()
{
    QMutexLocker locker(&m_mutex);
    return m_useBuiltIn ? m_builtInPath : m_customPath;
}

void PluginGlobalSettings::setUseBuiltIn(bool on)
{
    QMutexLocker locker(&m_mutex);
    m_useBuiltIn = on;
}

void PluginGlobalSettings::setCustomPath(const QString& path)
{
    QMutexLocker locker(&m_mutex);
    m_customPath = path;
}

void PluginGlobalSettings::setBuiltInPath(const QString& path)
{
    QMutexLocker locker(&m_mutex);
    m_builtInPath = path;
}

void PluginGlobalSettings::set(bool useBuiltIn, const QString& customPath, const QString& builtInPath)
{
    QMutexLocker locker(&m_mutex);
    m_useBuiltIn = useBuiltIn;
    m_customPath = customPath;
    m_builtInPath = builtInPath;
}

IPluginGlobalSettings* getPluginGlobalSettingsInterface()
{
    return PluginGlobalSettings::instance();
}
