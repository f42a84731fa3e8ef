#include "AppPaths.h"
#include "Environment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString appDir()
{
    static const QString dir = QCoreApplication::applicationDirPath();
    return dir;
}

QString installDir()
{
    static const QString dir = QFileInfo(appDir()).path();
    return dir;
}

QString appRootDir()
{
    static const QString dir = QFileInfo(QCoreApplication::applicationDirPath()).path();
    return dir;
}

QString configDir()
{
    static const QString dir = QDir::fromNativeSeparators(QStringLiteral("/etc/opt")) + QStringLiteral("/corvane-agent/");
    return dir;
}

QString logDir()
{
    return QStringLiteral("/var/log/corvane-agent");
}

QString canonicalNativePath(const QString& folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QString() : QDir::toNativeSeparators(canonical);
}

QString executableName(const QString& folder, int number)
{
    QString name = folder;
    if (!name.endsWith(QLatin1Char('/')))
        name += QLatin1Char('/');
    name += QStringLiteral("corvane-agent");
    if (number > 0)
        name += QString::number(number);
    return name + QStringLiteral(".exe");
}

QString drivePrefix(const QString& path)
{
    return QFileInfo(path).canonicalFilePath().left(3);
}

QString absoluteFolderOf(const QString& filePath, const QString& fallback)
{
    if (!filePath.isEmpty()) {
        const QDir folder = QFileInfo(filePath).absoluteDir();
        if (folder.exists())
            return folder.absolutePath();
    }
    return fallback;
}

QString lockFolder()
{
    return QDir::fromNativeSeparators(getEnvironmentVariable(QStringLiteral("FIREBIRD_LOCK")));
}
