#include "Environment.h"
#include "AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <cstdlib>

QString getEnvironmentVariable(const QString& name)
{
    const char* value = std::getenv(name.toLatin1().constData());
    return value ? QString::fromUtf8(value) : QString();
}

void setEnvironmentVariable(const QString& name, const QString& value)
{
    ::setenv(name.toLatin1().constData(), value.toLatin1().constData(), 1);
}

void setSnmpEnvironment()
{
    setEnvironmentVariable(QStringLiteral("MIBS"), QString());
    // The configuration folder without its trailing "/".
    setEnvironmentVariable(QStringLiteral("SNMPCONFPATH"), QDir::cleanPath(QDir(configDir()).absolutePath()));
}

void appendToPath(const QString& folder)
{
    const QString native = QDir::toNativeSeparators(folder);
    const QString path = getEnvironmentVariable(QStringLiteral("PATH"));
    if (path.split(QLatin1Char(':')).contains(native))
        return;
    setEnvironmentVariable(QStringLiteral("PATH"), path.isEmpty() ? native : path + QLatin1Char(':') + native);
}

QString latin1ToLocal8Bit(const QString& text)
{
    return QString::fromLocal8Bit(text.toLatin1());
}

QString local8BitToLatin1(const QString& text)
{
    return QString::fromLatin1(text.toLocal8Bit());
}
