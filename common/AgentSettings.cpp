#include "AgentSettings.h"
#include "AppPaths.h"
#include "ConnectionId.h"

#include <QDebug>
#include <QFileInfo>
#include <QRegularExpression>

#include <climits>
#include <optional>

const char* const kAgentKeyPassPhrase = "*blankword*";

QString agentSettingsPath()
{
    return configDir() + QStringLiteral("quv.ini");
}

std::unique_ptr<QSettings> openAgentSettings()
{
    return std::make_unique<QSettings>(agentSettingsPath(), QSettings::IniFormat);
}

QString readSettingString(const QSettings& settings, const QString& key, const QString& defaultValue)
{
    return settings.value(key, defaultValue).toString();
}

namespace {

// The stored value as a whole decimal number (blanks around it allowed); nothing when absent.
std::optional<qint64> storedDecimal(const QSettings& settings, const QString& key, bool& malformed)
{
    malformed = false;
    const QVariant value = settings.value(key);
    if (!value.isValid())
        return std::nullopt;
    const QString text = value.toString().trimmed();
    static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]{1,18}$"));
    if (!decimal.match(text).hasMatch()) {
        malformed = true;
        return std::nullopt;
    }
    return text.toLongLong();
}

int readBoundedSetting(const QSettings& settings, const QString& key, int defaultValue, qint64 low, qint64 high,
                       const char* what)
{
    bool malformed = false;
    const std::optional<qint64> n = storedDecimal(settings, key, malformed);
    if (n && *n >= low && *n <= high)
        return static_cast<int>(*n);
    if (malformed || n)
        qWarning().noquote() << QStringLiteral("setting %1 = '%2' is not %3, using %4")
                                    .arg(key, settings.value(key).toString(), QString::fromLatin1(what))
                                    .arg(defaultValue);
    return defaultValue;
}

} // namespace

int readSettingInt(const QSettings& settings, const QString& key, int defaultValue)
{
    return readBoundedSetting(settings, key, defaultValue, INT_MIN, INT_MAX, "a whole decimal number");
}

int readSettingPort(const QSettings& settings, const QString& key, int defaultValue)
{
    return readBoundedSetting(settings, key, defaultValue, 1, 65535, "a port number (1-65535)");
}

void writeSettingString(QSettings& settings, const QString& key, const QString& value)
{
    settings.setValue(key, value);
}

void writeSettingInt(QSettings& settings, const QString& key, int value)
{
    settings.setValue(key, value);
}

QString readSettingString(const QString& key, const QString& defaultValue)
{
    return readSettingString(*openAgentSettings(), key, defaultValue);
}

int readSettingInt(const QString& key, int defaultValue)
{
    return readSettingInt(*openAgentSettings(), key, defaultValue);
}

int readSettingPort(const QString& key, int defaultValue)
{
    return readSettingPort(*openAgentSettings(), key, defaultValue);
}

QString settingsFileDir(const QSettings& settings)
{
    return QFileInfo(settings.fileName()).absolutePath() + QLatin1Char('/');
}

int parseTransport(const QString& text)
{
    return text == QLatin1String("TCP") ? 0 : 1;
}

int agentTypeFromInt(int value)
{
    return value == 0 ? 0 : 1;
}

QString transportName(int transport)
{
    return transport == 1 ? QStringLiteral("SSL") : QStringLiteral("UNKNOWN");
}

namespace {

QString serverPrefix(int index)
{
    return QStringLiteral("AgentServer%1/").arg(index);
}

}

int countAgentServers(const QSettings& settings)
{
    int count = 0;
    while (settings.contains(serverPrefix(count) + QStringLiteral("Transport")))
        ++count;
    return count;
}

bool readAgentServer(const QSettings& settings, int index, SAgentConnectionSettings& out)
{
    const QString prefix = serverPrefix(index);
    bool usable = false;
    const QString transport = settings.value(prefix + QStringLiteral("Transport"), QString()).toString();
    if (!transport.isEmpty() && settings.value(prefix + QStringLiteral("Enabled"), 1u).toUInt() != 0) {
        readTransportSettings(settings, transport, out);
        out.host = settings.value(prefix + QStringLiteral("Host"), QString()).toString();
        out.port = static_cast<int>(settings.value(prefix + QStringLiteral("Port"), 0u).toUInt());
        usable = true;
    }
    out.readFromSettings = true;
    return usable;
}

int writeAgentServersAddress(QSettings& settings, const QString& host, quint16 port)
{
    const int count = countAgentServers(settings);
    for (int i = 0; i < count; ++i) {
        settings.setValue(serverPrefix(i) + QStringLiteral("Host"), host);
        settings.setValue(serverPrefix(i) + QStringLiteral("Port"), port);
    }
    return count;
}

void readActiveAgentSettings(const QSettings& settings, SAgentConnectionSettings& out)
{
    const QString transport = settings.value(QStringLiteral("ActiveAgentSettings/Transport"), QString()).toString();
    out.readFromSettings = true;
    readTransportSettings(settings, transport, out);
    out.host = settings.value(QStringLiteral("ActiveAgentSettings/Host"), QString()).toString();
    out.port = settings.value(QStringLiteral("ActiveAgentSettings/Port"), 0).toInt();
}

void readSslSettings(const QSettings& settings, int transport, SAgentConnectionSettings& out)
{
    if (transport != 0 && transport != 1)
        return;
    out.transport = transport;
    if (transport != 1)
        return;
    out.certificatePath = settings.value(QStringLiteral("SSLSettings/CertificatePath"), QString()).toString();
    out.privateKeyPath = settings.value(QStringLiteral("SSLSettings/PrivateKeyPath"), QString()).toString();
    out.keyPassPhrase = QByteArray(kAgentKeyPassPhrase);
    out.allowUntrustedService = settings.value(QStringLiteral("SSLSettings/AllowUntrustedService"), 0u).toUInt() == 1;
    out.serviceCertificatePath = settings.value(QStringLiteral("SSLSettings/ServiceCertificatePath"), QString()).toString();
}

void readTransportSettings(const QSettings& settings, const QString& transport, SAgentConnectionSettings& out)
{
    readSslSettings(settings, parseTransport(transport.trimmed().toUpper()), out);
}

void writeSslSettings(const SAgentConnectionSettings& record, bool ssl, QSettings& settings)
{
    if (!ssl)
        return;
    settings.setValue(QStringLiteral("SSLSettings/CertificatePath"), record.certificatePath);
    settings.setValue(QStringLiteral("SSLSettings/PrivateKeyPath"), record.privateKeyPath);
    settings.setValue(QStringLiteral("SSLSettings/AllowUntrustedService"), record.allowUntrustedService);
    settings.setValue(QStringLiteral("SSLSettings/ServiceCertificatePath"), record.serviceCertificatePath);
}

void writeSslSettings(QSettings& settings, int transport, const SAgentConnectionSettings& record)
{
    writeSslSettings(record, transport == 1, settings);
}

bool computeConnectionId(const QSettings& settings, QString& out)
{
    SAgentConnectionSettings record;
    readTransportSettings(settings, QStringLiteral("ssl"), record);
    return connectionIdFromCertificate(record.certificatePath, out);
}

bool isPeriodicStatisticsEnabled(const QSettings& settings)
{
    return settings.value(QStringLiteral("Debug/PeriodicStatistics"), false).toBool();
}

QStringList missingSettingsKeys(const QSettings& settings)
{
    QStringList keys = {
        QStringLiteral("SSLSettings/CertificatePath"),
        QStringLiteral("SSLSettings/AllowUntrustedService"),
        QStringLiteral("SSLSettings/ServiceCertificatePath"),
        QStringLiteral("SSLSettings/PrivateKeyPath"),
        QStringLiteral("Common/AgentType"),
        QStringLiteral("AgentControlServer/Port"),
        QStringLiteral("SNMP/UDPProxyPort"),
    };
    if (agentTypeFromInt(readSettingInt(settings, QStringLiteral("Common/AgentType"), 0)) == 0)
        keys << QStringLiteral("ActiveAgentSettings/Transport") << QStringLiteral("ActiveAgentSettings/Host")
             << QStringLiteral("ActiveAgentSettings/Port");
    else
        keys << QStringLiteral("AgentServer0/Transport") << QStringLiteral("AgentServer0/Host")
             << QStringLiteral("AgentServer0/Port");
    QStringList missing;
    for (const QString& key : keys)
        if (!settings.contains(key))
            missing << key;
    return missing;
}

QStringList missingAgentSettings()
{
    return missingSettingsKeys(*openAgentSettings());
}
