#pragma once
#include <QString>

class QSettings;

// A receiver's UDP port from the agent settings: an absent key gives the default; a value
// that is not a port number (not a number, 0, or above 65535) is logged and the default used.
int readReceiverPort(const QSettings& settings, const QString& key, int defaultPort);
