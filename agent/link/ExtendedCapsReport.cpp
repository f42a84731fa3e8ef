#include "ExtendedCapsReport.h"

#include "common/WebUtils.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

QByteArray buildExtendedCapsJson(const SExtendedCaps& caps)
{
    QJsonObject os{{QStringLiteral("name"), caps.osName}, {QStringLiteral("version"), caps.osVersion}};
    QJsonObject host{{QStringLiteral("name"), caps.hostName},
                     {QStringLiteral("arch"), caps.architecture},
                     {QStringLiteral("os"), os}};
    QJsonArray monitors;
    for (const QString& type : caps.monitorTypes)
        monitors.append(QJsonObject{{QStringLiteral("name"), type}});
    QJsonObject root{{QStringLiteral("host"), host},
                     {QStringLiteral("agent"), QJsonObject{{QStringLiteral("version"), caps.agentVersion}}},
                     {QStringLiteral("support"), QJsonObject{{QStringLiteral("monitors"), monitors}}}};
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

SExtendedCaps localExtendedCaps(const QStringList& monitorTypes)
{
    SExtendedCaps caps;
    caps.hostName = WebUtils::getLocalhostName(true);
    WebUtils::SSystemInfo info;
    WebUtils::getSystemInfo(info);
    caps.architecture = info.architecture;
    QFile osRelease(QStringLiteral("/etc/os-release"));
    const QMap<QString, QString> release =
        osRelease.open(QIODevice::ReadOnly) ? WebUtils::parseOsRelease(osRelease.readAll()) : QMap<QString, QString>();
    caps.osName = release.value(QStringLiteral("NAME"), info.systemName);
    caps.osVersion = release.value(QStringLiteral("VERSION_ID"), release.value(QStringLiteral("VERSION")));
    caps.agentVersion = QStringLiteral("1.1.354");
    caps.monitorTypes = monitorTypes;
    return caps;
}
