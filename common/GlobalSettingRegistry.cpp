#include "GlobalSettingRegistry.h"

#include "CDbException.h"

#include <QByteArray>
#include <QDebug>
#include <QHash>
#include <QMap>
#include <QReadWriteLock>

#include <zlib.h>

namespace {

struct KeyRow
{
    const char* name;
    int id;
};

const KeyRow kKeyTable[] = {
    {"Admin/Email/Address", 77}, {"Admin/Email/UseDefaultSubjectPrefix", 78},
    {"Admin/Email/CustomSubjectPrefix", 79}, {"Admin/Email/SMTP1/Address", 80},
    {"Admin/Email/SMTP1/Port", 1}, {"Admin/Email/SMTP1/From", 81},
    {"Admin/Email/SMTP1/FromEnabled", 3}, {"Admin/Email/SMTP1/ReplyTo", 82},
    {"Admin/Email/SMTP1/ReplyToEnabled", 5}, {"Admin/Email/SMTP1/User", 83},
    {"Admin/Email/SMTP1/Pwd", 84}, {"Admin/Email/SMTP1/SecConnType", 8},
    {"Admin/Email/SMTP2/Address", 85}, {"Admin/Email/SMTP2/Port", 2},
    {"Admin/Email/SMTP2/From", 86}, {"Admin/Email/SMTP2/FromEnabled", 4},
    {"Admin/Email/SMTP2/ReplyTo", 87}, {"Admin/Email/SMTP2/ReplyToEnabled", 6},
    {"Admin/Email/SMTP2/User", 88}, {"Admin/Email/SMTP2/Pwd", 89},
    {"Admin/Email/SMTP2/SecConnType", 11}, {"Admin/Email/SMTP1/Authenticate", 7},
    {"Admin/Email/SMTP2/Enabled", 9}, {"Admin/Email/SMTP2/Authenticate", 10},
    {"Admin/ProtectWebUI", 50}, {"Agents/ShowPrefixForMonitors", 44},
    {"Agents/AddUnknown", 45}, {"Agents/StartServer", 46},
    {"GSM/Modem1/Enabled", 12}, {"GSM/Modem1/DisplayName", 90},
    {"GSM/Modem1/ComPort", 91}, {"GSM/Modem1/BaudRate", 13},
    {"GSM/Modem1/InitString", 92}, {"GSM/Modem1/SMSCenter", 93},
    {"GSM/Modem1/SoftHandshake", 14}, {"GSM/Modem1/StatusReport", 15},
    {"GSM/Modem1/TestNumber", 94}, {"GSM/Modem1/TestMessage", 95},
    {"GSM/Modem1/MinPort", 16}, {"GSM/Modem1/MaxPort", 17},
    {"GSM/Modem2/Enabled", 18}, {"GSM/Modem2/DisplayName", 96},
    {"GSM/Modem2/ComPort", 97}, {"GSM/Modem2/BaudRate", 19},
    {"GSM/Modem2/InitString", 98}, {"GSM/Modem2/SMSCenter", 99},
    {"GSM/Modem2/SoftHandshake", 20}, {"GSM/Modem2/StatusReport", 21},
    {"GSM/Modem2/TestNumber", 100}, {"GSM/Modem2/TestMessage", 101},
    {"AdminTools/RemoteDesktop/Program", 102}, {"AdminTools/RemoteDesktop/Arguments", 103},
    {"AdminTools/Telnet/Program", 104}, {"AdminTools/Telnet/Arguments", 105},
    {"AdminTools/SSH/Program", 106}, {"AdminTools/SSH/Arguments", 107},
    {"AdminTools/DeviceWebInterface", 108}, {"AdminTools/CurstomProgram/Name", 109},
    {"AdminTools/CurstomProgram/Program", 110}, {"AdminTools/CurstomProgram/Arguments", 111},
    {"General/OSType", 22}, {"Monitoring/Storage/RawDataLifetime", 23},
    {"Monitoring/Storage/RolloutFrameSize", 24}, {"Monitoring/Storage/ArchieveLifetime", 25},
    {"Monitoring/Log/Lifetime", 26}, {"Monitoring/SetDependencyFromPing", 27},
    {"Monitoring/ThreadLimit", 28}, {"Monitoring/CPULimit", 29},
    {"Monitoring/UseBuiltInPython", 30}, {"Monitoring/PythonPath", 31},
    {"Monitoring/WTMLimit", 32}, {"NewMonitorWizard/DefaultStartNewMonitor", 33},
    {"Reporting/Daily", 34}, {"Reporting/Weekly", 35},
    {"Reporting/Monthly", 36}, {"Reporting/DefaultDays", 37},
    {"Reporting/DefaultHours", 38}, {"Reporting/FirstDayOfWeek", 39},
    {"Reporting/EntriesPerPage", 41}, {"Reporting/CC", 112},
    {"Reporting/Last", 113}, {"Reporting/Time", 40},
    {"Reporting/ShowStopped", 42}, {"Reporting/ShowDiscovered", 43},
    {"Discovery/Parameters/TcpIp/Ports", 114}, {"Discovery/Parameters/Smtp/Ports", 115},
    {"Discovery/Parameters/Pop3/Ports", 116}, {"Discovery/Parameters/Imap/Ports", 117},
    {"Discovery/Parameters/Http/Ports", 118}, {"Discovery/Parameters/Ftp/Ports", 119},
    {"Discovery/Parameters/Snmp/Ports", 120}, {"Discovery/Parameters/Ssh/Ports", 121},
    {"Discovery/Parameters/Dns/Ports", 122}, {"Discovery/SendEmailWhenNewItemsAreFound", 76},
    {"Admin/DefaultCredentials/Pwd", 156}, {"Ini/Common/AccessPassword", 153},
    {"Ini/Common/Domain", 154}, {"Ini/Common/User", 155},
    {"Ini/Common/UsageStatsDeliveryEnabled", 173}, {"Ini/Database/Host", 159},
    {"Ini/Database/Password", 164}, {"Ini/Database/Path", 161},
    {"Ini/Database/Port", 160}, {"Ini/Database/ServerPath", 162},
    {"Ini/Database/User", 163}, {"Ini/Database/BackupPath", 165},
    {"Ini/Service/Host", 157}, {"Ini/Service/Port", 158},
    {"Ini/AgentServer0/Host", 166}, {"Ini/AgentServer0/Port", 167},
    {"Ini/AgentServer0/Transport", 168}, {"Ini/SSLSettings/PrivateKeyPath", 169},
    {"Ini/SSLSettings/CertificatePath", 170}, {"Database/Version", 47},
    {"Database/AccessPasswordSet", 49}, {"Ini/Client/RunWelcomeWizard", 48},
    {"BackupDb/Last", 128}, {"BackupDb/LastConfigChange", 129},
    {"BackupDb/LastConfigBackup", 130}, {"Snmp/MibPaths", 131},
    {"WebServer/ConfVersion", 51}, {"WebServer/Mode", 52},
    {"WebServer/HostOrIp", 132}, {"WebServer/HttpPort", 53},
    {"WebServer/HttpsPort", 54}, {"WebServer/CertFile", 133},
    {"WebServer/KeyFile", 134}, {"WebServer/CAFile", 135},
    {"WebServer/ChainFile", 136}, {"Alerts/Enabled", 55},
    {"Alerts/RecoveryEnabled", 56}, {"Alerts/NotifyEnabled", 57},
    {"Alerts/NotifyPeriod", 58}, {"Alerts/MissedAlerts", 59},
    {"Alerts/DisableDateTime", 137}, {"Alerts/EnableDateTime", 138},
    {"Database/BackupSchedule", 139}, {"Database/BackupCount", 61},
    {"Applications/ShowPrefixForMonitors", 60}, {"Logging/ClientOnOffAndLevel", 62},
    {"Logging/ServiceOnOffAndLevel", 63}, {"Logging/FileSizeMb", 64},
    {"Logging/IsRotateEnabled", 65}, {"Logging/RotatedLogsNumber", 66},
    {"Community/IsEnabled", 67}, {"Community/IsAutoUpdated", 68},
    {"Community/AutoUpdatePeriodDays", 69}, {"Community/LastUpdateDateUtc", 140},
    {"Community/MemberId", 70}, {"Community/UserName", 141},
    {"Community/Email", 142}, {"Community/Password", 143},
    {"Community/IsSendingDigest", 71}, {"Community/SendingDigestPeriodDays", 72},
    {"Community/LastDigestDateUtc", 144}, {"Admin/LastUsageStatsDeliveryDateUtc", 145},
    {"Firebase/APIKey", 147}, {"Firebase/FCMKey", 146},
    {"General/ProductName", 148}, {"Mcp/IsEnabled", 73},
    {"Mcp/IsSsl", 74}, {"Mcp/Port", 75},
    {"Mcp/BindAddress", 149}, {"Mcp/RwToken", 150},
    {"Mcp/RoToken", 151}, {"Mcp/HostName", 152},
    {nullptr, 0},
};

QString normalised(const QString& name)
{
    QString n = name;
    n.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return n;
}

class Registry
{
public:
    Registry()
    {
        QWriteLocker lock(&m_lock);
        for (const KeyRow* row = kKeyTable; row->name; ++row) {
            const QString name = normalised(QString::fromLatin1(row->name));
            m_byName.insert(name, row->id);
            m_byId.insert(row->id, name);
            if (row->id > m_highest)
                m_highest = row->id;
        }
    }

    int id(const QString& name)
    {
        // A name keeps its id for the whole run, so each thread may remember the answers it
        // got without asking the shared maps again (bounded; emptied when full).
        thread_local QHash<QString, int> seen;
        const auto known = seen.constFind(name);
        if (known != seen.constEnd())
            return known.value();
        const int found = lookupOrAdd(name);
        if (seen.size() >= kThreadCacheLimit)
            seen.clear();
        seen.insert(name, found);
        return found;
    }

private:
    static constexpr int kThreadCacheLimit = 4096;

    int lookupOrAdd(const QString& name)
    {
        const QString key = normalised(name);
        {
            QReadLocker lock(&m_lock);
            const auto it = m_byName.constFind(key);
            if (it != m_byName.constEnd())
                return it.value();
        }
        QWriteLocker lock(&m_lock);
        const auto it = m_byName.constFind(key);   // another thread may have added it meanwhile
        if (it != m_byName.constEnd())
            return it.value();
        qWarning("adding new global setting %s", qUtf8Printable(name));
        const int newId = ++m_highest;
        m_byId.insert(newId, key);
        m_byName.insert(key, newId);
        if (!m_byName.contains(key))
            throw CDbException(QStringLiteral("cannot insert new conversion ") + name, -1);
        return newId;
    }

public:
    QString name(int id)
    {
        QReadLocker lock(&m_lock);
        const auto it = m_byId.constFind(id);
        if (it == m_byId.constEnd())
            throw CDbException(QStringLiteral("cannot find string for ") + QString::number(id), -1, QString());
        return it.value();
    }

private:
    QReadWriteLock m_lock;
    QHash<QString, int> m_byName;
    QMap<int, QString> m_byId;
    int m_highest = 0;
};

Registry& registry()
{
    static Registry r;
    return r;
}

// Fill the tables during static initialisation, as the daemon expects them before main.
const bool g_registryFilled = (registry(), true);

} // namespace

int globalSettingId(const QString& name)
{
    return registry().id(name);
}

QString globalSettingName(int id)
{
    return registry().name(id);
}

QString packText(const QString& text)
{
    if (text.isEmpty())
        return QString();
    return QString::fromLatin1(qCompress(text.toUtf8(), 9).toBase64());
}

namespace {

// qUncompress trusts the size header and keeps doubling its buffer on bigger output, so the
// stream is inflated here with a hard cap instead.
bool boundedUncompress(const QByteArray& packed, QByteArray* out)
{
    if (packed.size() < 4)
        return false;
    const quint32 claimed = (quint32(uchar(packed[0])) << 24) | (quint32(uchar(packed[1])) << 16)
                            | (quint32(uchar(packed[2])) << 8) | quint32(uchar(packed[3]));
    if (claimed > quint32(kMaxUnpackedTextBytes))
        return false;
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK)
        return false;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.constData() + 4));
    zs.avail_in = uInt(packed.size() - 4);
    QByteArray result;
    char chunk[16384];
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs.next_out = reinterpret_cast<Bytef*>(chunk);
        zs.avail_out = sizeof chunk;
        rc = inflate(&zs, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END)
            break;
        const int got = int(sizeof chunk - zs.avail_out);
        if (result.size() + got > kMaxUnpackedTextBytes) {
            rc = Z_MEM_ERROR;
            break;
        }
        result.append(chunk, got);
        if (rc == Z_OK && got == 0 && zs.avail_in == 0) {
            rc = Z_DATA_ERROR;   // truncated stream
            break;
        }
    }
    inflateEnd(&zs);
    if (rc != Z_STREAM_END)
        return false;
    *out = result;
    return true;
}

} // namespace

QString unpackText(const QString& packed)
{
    if (packed.isEmpty())
        return QString();
    QByteArray raw;
    if (!boundedUncompress(QByteArray::fromBase64(packed.toLatin1()), &raw)) {
        qWarning("packed text cannot be unpacked (corrupt or larger than %d bytes)", kMaxUnpackedTextBytes);
        return QString();
    }
    return QString::fromUtf8(raw);
}
