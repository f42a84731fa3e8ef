#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

// The extended-capabilities report of the agent: its host, its version and the monitor
// types its library supports, as compact JSON. Pure.
struct SExtendedCaps
{
    QString hostName;
    QString architecture;
    QString osName;
    QString osVersion;
    QString agentVersion;
    QStringList monitorTypes;   // in index order
};

QByteArray buildExtendedCapsJson(const SExtendedCaps& caps);
// The report of this host: local host name, uname and os-release, the agent version.
SExtendedCaps localExtendedCaps(const QStringList& monitorTypes);
