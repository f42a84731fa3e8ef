#pragma once
#include <QString>

// Texts of the daemon's start and stop lines.
inline QString productText() { return QStringLiteral("Network Monitor Agent"); }
inline QString versionText() { return QStringLiteral("1.1 build 354 r"); }
QString commitId();
