#include "ZamCommonSettings.h"
#include "ZamQSettings.h"

#include <QtGlobal>

namespace {
const char* const kOrganisation = "Corvane Monitor";
const char* const kApplication = "Corvane Monitor Client";
}

ZamCommonSettings::ZamCommonSettings(const QString& fileName)
    : m_fileName(fileName)
    , m_file(new ZamQSettings(fileName, QSettings::IniFormat))
    , m_system(new ZamQSettings(QSettings::NativeFormat, QSettings::SystemScope,
                                QString::fromLatin1(kOrganisation), QString::fromLatin1(kApplication)))
    , m_user(new ZamQSettings(QSettings::NativeFormat, QSettings::UserScope,
                              QString::fromLatin1(kOrganisation), QString::fromLatin1(kApplication)))
{
}

ZamCommonSettings::ZamCommonSettings(const ZamCommonSettings& other)
    : ZamCommonSettings(other.m_fileName)
{
}

ZamCommonSettings::~ZamCommonSettings() = default;

bool ZamCommonSettings::periodicStatistics()
{
    const QString key = QStringLiteral("Debug/PeriodicStatistics");
    qWarning("getting %s from zam.ini", qPrintable(key));
    return m_file->value(key, false).toBool();
}
