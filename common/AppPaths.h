#pragma once
#include <QString>

// The daemon's fixed folders. Each is computed once (thread-safe) and never changes.
QString appDir();       // folder of the running executable
QString installDir();   // parent of appDir
QString appRootDir();   // parent of appDir; plug-ins live in appRootDir() + "/plugins/"
QString configDir();    // "/etc/opt/corvane-agent/", always ends with "/"
QString logDir();       // "/var/log/corvane-agent", never ends with "/"

// Canonical path with native separators; empty when the folder does not exist.
QString canonicalNativePath(const QString& folder);
// folder + "/" (unless present) + "corvane-agent" + number when above 0 + ".exe".
QString executableName(const QString& folder, int number);
// First three characters of the path's canonical form.
QString drivePrefix(const QString& path);
// Absolute folder of the file when the file path is set and that folder exists, else fallback.
QString absoluteFolderOf(const QString& filePath, const QString& fallback);
// "FIREBIRD_LOCK" with native separators turned to "/"; empty when unset.
QString lockFolder();
