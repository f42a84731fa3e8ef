#include "ReceiverPortSetting.h"

#include "core/LogFile.h"

#include <QSettings>

int readReceiverPort(const QSettings& settings, const QString& key, int defaultPort)
{
    if (!settings.contains(key))
        return defaultPort;
    const QString text = settings.value(key).toString().trimmed();
    bool ok = false;
    const int port = text.toInt(&ok);
    if (ok && port > 0 && port <= 65535)
        return port;
    logWarning(QStringLiteral("%1: \"%2\" is not a port number, %3 is used").arg(key, text).arg(defaultPort));
    return defaultPort;
}
