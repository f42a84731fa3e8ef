#pragma once
#include <QSettings>

// A QSettings with its own meta-object; adds nothing else.
class ZamQSettings : public QSettings
{
    Q_OBJECT
public:
    using QSettings::QSettings;
};
