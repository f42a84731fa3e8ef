#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The file side of an upgrade over the link: the package is written into a fresh private
// folder (mode 0700) in the temporary folder, as "zamagent_upgrade_<UTC seconds>.exe", created
// exclusively without following links and made executable, then started detached with
// "/S" "/zsilent". Blocking; any thread.

struct SUpgradeStart
{
    bool started = false;
    QString error;        // the status text on failure
    QString packagePath;  // where the package was written (when it was)
};

QStringList upgradeArguments();
// tempDir: the temporary folder (QDir::tempPath() in the daemon); utcSeconds names the file.
SUpgradeStart writeAndStartUpgradePackage(const QByteArray& package, const QString& tempDir, qint64 utcSeconds);
// Removes what earlier upgrades left in the temporary folder: entries named
// "zamagent_upgrade_*" (files and links themselves, and this user's private folders with
// the files in them). Never follows a link.
void removeLeftoverUpgradePackages(const QString& tempDir);
