#pragma once
#include <QString>

// Paths of the build tree, fixed at configure time.
namespace testpaths {
inline QString buildDir() { return QStringLiteral(ZAM_BUILD_DIR); }
inline QString sourceDir() { return QStringLiteral(ZAM_SOURCE_DIR); }
inline QString pluginPath() { return QStringLiteral(ZAM_PLUGIN_PATH); }
inline QString daemonPath() { return buildDir() + QStringLiteral("/bin/netagentd"); }
// Wrapper that runs a command with tmpfs over the daemon's fixed folders.
inline QString privatePathsScript() { return QStringLiteral(ZAM_PRIVATE_PATHS); }
}
