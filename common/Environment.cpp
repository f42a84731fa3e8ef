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
    // The folder that holds configDir's last element is configDir itself without the "/".
    QString folder = QFileInfo(configDir() + QStringLiteral(".")).absolutePath();
    setEnvironmentVariable(QStringLiteral("SNMPCONFPATH"), QDir::cleanPath(folder));
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
