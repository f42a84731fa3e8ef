#include "PluginLogHandler.h"
#include "core/LogFile.h"

#include <QString>
#include <QtGlobal>

int pluginLogHandler(int level, const char* text)
{
    const char* line = text ? text : "";
    switch (level) {
    case 0:
        break;
    case 1:
        qWarning("%s", line);
        break;
    case 2:
        qCritical("%s", line);
        break;
    case 3:
        qFatal("%s", line);
        break;
    case 4:
        writeLogLine(QString::fromLatin1(line), false);
        break;
    default:
        qWarning("unknown plugin log type: %d", level);
        break;
    }
    return 0;
}
