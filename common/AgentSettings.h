#pragma once
#include "SAgentConnectionSettings.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>

// Typed access to the agent settings file "quv.ini" (INI format), shared by the daemon and
// the manager. The helpers keep no state: each caller opens its own QSettings and drops it.

// Path of the agent settings file: configDir() + "quv.ini".
QString agentSettingsPath();
// The agent settings file opened as an INI QSettings.
std::unique_ptr<QSettings> openAgentSettings();

QString readSettingString(const QSettings& settings, const QString& key, const QString& defaultValue);
// An absent key gives the default; so does a value that is not a whole decimal number (blanks
// around it allowed) or lies outside the range, with one warning naming the key. A port is
// 1 to 65535.
int readSettingInt(const QSettings& settings, const QString& key, int defaultValue);
int readSettingPort(const QSettings& settings, const QString& key, int defaultValue);
void writeSettingString(QSettings& settings, const QString& key, const QString& value);
void writeSettingInt(QSettings& settings, const QString& key, int value);
// Same, on a settings object opened on the agent settings file for this one read.
QString readSettingString(const QString& key, const QString& defaultValue);
int readSettingInt(const QString& key, int defaultValue);
int readSettingPort(const QString& key, int defaultValue);

// Absolute folder of the settings file followed by "/".
QString settingsFileDir(const QSettings& settings);

// "TCP" gives 0, every other text 1 (SSL). Callers trim and upper-case first.
int parseTransport(const QString& text);
// 0 stays 0 (active), any other value gives 1 (passive).
int agentTypeFromInt(int value);
// "SSL" for 1, "UNKNOWN" otherwise (kept as the stored files and peers know it).
QString transportName(int transport);

// Number of consecutive "AgentServer%1/Transport" keys counted from 0.
int countAgentServers(const QSettings& settings);
// Fills the record from entry "AgentServer%1/"; true only for an enabled entry with a transport.
bool readAgentServer(const QSettings& settings, int index, SAgentConnectionSettings& out);
// Writes "Host" and "Port" into every existing entry; answers the entry count.
int writeAgentServersAddress(QSettings& settings, const QString& host, quint16 port);
void readActiveAgentSettings(const QSettings& settings, SAgentConnectionSettings& out);
void readSslSettings(const QSettings& settings, int transport, SAgentConnectionSettings& out);
void readTransportSettings(const QSettings& settings, const QString& transport, SAgentConnectionSettings& out);
// Writes the "SSLSettings/" keys (never the pass phrase) when ssl is true.
void writeSslSettings(const SAgentConnectionSettings& record, bool ssl, QSettings& settings);
void writeSslSettings(QSettings& settings, int transport, const SAgentConnectionSettings& record);

// Connection id of the certificate named by "SSLSettings/CertificatePath"; false with the
// error text in out when it cannot be computed.
bool computeConnectionId(const QSettings& settings, QString& out);
// "Debug/PeriodicStatistics" as bool, default false.
bool isPeriodicStatisticsEnabled(const QSettings& settings);
// Required keys absent from the file, in their fixed order.
QStringList missingSettingsKeys(const QSettings& settings);
// missingSettingsKeys of the agent settings file.
QStringList missingAgentSettings();

// The fixed pass phrase that every SSL endpoint record carries; not a key of the file.
extern const char* const kAgentKeyPassPhrase;
