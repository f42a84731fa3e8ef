#include "EnumTexts.h"

#include <QMutex>

#include <cstring>
#include <stdexcept>

namespace {

QMap<int, QString> makeMap(std::initializer_list<std::pair<int, const char*>> rows)
{
    QMap<int, QString> m;
    for (const auto& r : rows)
        m.insert(r.first, QString::fromLatin1(r.second));
    return m;
}

char firstChar(const QString& text)
{
    return text.isEmpty() ? '\0' : char(text.at(0).unicode() < 128 ? text.at(0).unicode() : 0);
}

bool oneOf(char c, const char* set)
{
    return c != '\0' && std::strchr(set, c) != nullptr;
}

const char kAllSettingKinds[] = "2CDEFLMRSTWacdefilmoprstuwy";
const char kNarrowSettingKinds[] = "2CDFLacdeilmpstuwy";

} // namespace

const char* const kDateTimeFormat = "dd.MM.yyyy.hh.mm.ss";
const char* const kDbFileToRestore = "DbFileToRestore";
const char* const kBuildCommit = "fce1bf668";

const QMap<int, QString>& monitorStatusNames()
{
    static const QMap<int, QString> m = makeMap({{-1, ""}, {0, "Down"}, {1, "Warning"}, {2, "OK"},
        {3, "Unknown"}, {4, "Stopped"}, {5, "Stopped by Dependency"}, {6, "Maintenance"}, {7, "Discovered"}});
    return m;
}

const QMap<int, QString>& deviceCategoryNames()
{
    static const QMap<int, QString> m = makeMap({{0, "Server"}, {1, "NetworkEq"},
        {2, "DesktopAndNotebook"}, {3, "PrinterAndUPS"}, {4, "Miscelaneous"}});
    return m;
}

const QMap<int, QString>& monitorGroupNames()
{
    static const QMap<int, QString> m = makeMap({{0, "Connectivity"}, {1, "Mail"}, {2, "Internet"},
        {3, "Resources_SSH_SNMP"}, {4, "Resources_WIN_WMI"}, {5, "Database"}, {6, "Custom"},
        {7, "Network"}, {8, "Virtual_machines"}});
    return m;
}

const QMap<int, QString>& onlineStateNames()
{
    static const QMap<int, QString> m = makeMap({{0, "Online"}, {1, "Offline"}, {2, "Disabled"}});
    return m;
}

const QMap<int, QString>& protocolFlagNames()
{
    static const QMap<int, QString> m = makeMap({{1, "DNS"}, {2, "HTTP"}, {4, "FTP"}, {8, "SMTP"},
        {16, "IMAP"}, {32, "POP3"}, {64, "WMI"}, {128, "SNMP"}, {256, "SSH"}, {512, "ICMP"}, {1024, "TCP/UDP"}});
    return m;
}

const QMap<int, QString>& resourceFlagNames()
{
    static const QMap<int, QString> m = makeMap({{1, "CPU"}, {2, "Memory"}, {4, "Disk space"}, {8, "File"},
        {16, "Process"}, {32, "Windows Service"}, {64, "Traffic"}, {128, "Mail"}, {256, "Database"},
        {512, "Script"}, {1024, "Logs"}});
    return m;
}

QString monitorStatusName(int status) { return monitorStatusNames().value(status); }
QString onlineStateName(int state) { return onlineStateNames().value(state); }
QString monitorGroupName(int group) { return monitorGroupNames().value(group); }

const QList<int>& statusValues()
{
    static const QList<int> v{0, 1, 2, 3, 4, 5, 6, 7};
    return v;
}

QString statusNameByIndex(int index)
{
    static const char* const names[] = {"Down", "Warning", "OK", "Unknown", "Stopped",
                                        "Stopped By Dependency", "Maintenance", "Discovered"};
    if (index < 0 || index > 7)
        return QStringLiteral("Unknown");
    return QString::fromLatin1(names[index]);
}

QString dateTimeToText(const QDateTime& dt) { return dt.toString(QLatin1String(kDateTimeFormat)); }
QDateTime dateTimeFromText(const QString& text)
{
    return QDateTime::fromString(text, QLatin1String(kDateTimeFormat));
}

int enumToStoredInt(int value) { return value; }
int enumFromStoredInt(int value) { return value; }

int monitorEventFromInt(int value)
{
    if (value < -2 || value > 4)
        throw std::runtime_error("bad monitor event");
    return value;
}

int enumFromIndex4(int value) { return value >= 1 && value <= 4 ? value : 0; }
int enumFromIndex3(int value) { return value >= 0 && value <= 2 ? value : -1; }
int eightValueGuard(int value) { return value >= 0 && value <= 7 ? value : 3; }

int monitorCategoryFromInt(int value)
{
    if (value < 0 || value > 8)
        throw std::runtime_error("bad monitor category");
    return value;
}

namespace {
const char* const kCategoryTexts[] = {"Server Health Checks", "Domain Controllers", "Mail Servers",
    "Web Servers", "Database Servers", "Virtual Machines", "Other Applications and Services", "UPS",
    "Printers", "Network Equipment"};
}

int categoryFromText(const QString& text)
{
    static const QMap<QString, int> m{{"Server Health Checks", 0}, {"Domain Controllers", 1},
        {"Mail Servers", 2}, {"Database Servers", 4}, {"Virtual Machines", 5}, {"UPS", 7},
        {"Printers", 8}, {"Network Equipment", 9}};
    return m.value(text, 6);
}

int categoryGuard(int value) { return value >= 0 && value <= 9 ? value : 6; }

QString categoryToText(int category)
{
    if (category < 0 || category > 9)
        return QString();
    return QString::fromLatin1(kCategoryTexts[category]);
}

bool categoryTextIsDevice(const QString& text)
{
    const int c = categoryFromText(text);
    return c == 7 || c == 8 || c == 9;
}

char settingKindFromCode(char code)
{
    if (!oneOf(code, kAllSettingKinds))
        throw std::runtime_error("bad setting kind");
    return code;
}

char settingKindNarrowCheck(char code)
{
    if (!oneOf(code, kNarrowSettingKinds))
        throw std::runtime_error("bad setting kind");
    return code;
}

char settingKindFromText(const QString& text, char fallback)
{
    const char c = firstChar(text);
    return oneOf(c, kAllSettingKinds) ? c : fallback;
}

QString settingKindToText(char code)
{
    return oneOf(code, kAllSettingKinds) ? QString(QLatin1Char(code)) : QStringLiteral("_");
}

char objectKindFromText(const QString& text)
{
    const char c = firstChar(text);
    if (!oneOf(c, "HTcmt"))
        throw std::runtime_error("bad object kind");
    return c;
}

int objectKindGuard(int value)
{
    if (value < 0 || value > 10)
        throw std::runtime_error("bad object kind");
    return value;
}

QString objectKindToText(char kind)
{
    return oneOf(kind, "HTct") ? QString(QLatin1Char(kind)) : QStringLiteral("m");
}

int objectKindToIndex(char kind)
{
    switch (kind) {
    case 'm': return 0;
    case 't': return 1;
    case 'c': return 2;
    case 'H': return 3;
    case 'T': return 4;
    default: return 13;
    }
}

char periodKindFromText(const QString& text)
{
    const char c = firstChar(text);
    if (!oneOf(c, "1w0"))
        throw std::runtime_error("bad period kind");
    return c;
}

QString periodKindToText(char kind)
{
    if (kind == '0')
        return QStringLiteral("0");
    if (kind == 'w')
        return QStringLiteral("w");
    return QStringLiteral("1");
}

char valueTypeFromText(const QString& text, char fallback)
{
    const char c = firstChar(text);
    return oneOf(c, "isp") ? c : fallback;
}

int actionProfileKind(int value)
{
    if (value < 0 || value > 4)
        throw std::runtime_error("bad action profile kind");
    return value;
}

bool yesNoFromText(const QString& text, bool fallback)
{
    const char c = firstChar(text);
    return c == 'y' ? true : c == 'n' ? false : fallback;
}

QString yesNoToText(bool value) { return value ? QStringLiteral("y") : QStringLiteral("n"); }

char alertingInheritanceFromText(const QString& text)
{
    const char c = firstChar(text);
    if (!oneOf(c, "ori"))
        throw std::runtime_error("bad alerting section inheritance type");
    return c;
}

QString alertingInheritanceToText(char kind)
{
    if (!oneOf(kind, "ori"))
        throw std::runtime_error("unhandled alerting section inheritance type");
    return QString(QLatin1Char(kind));
}

char monitorCreatedTypeFromText(const QString& text)
{
    const char c = firstChar(text);
    if (!oneOf(c, "rud"))
        throw std::runtime_error("bad monitor created type");
    return c;
}

QString monitorCreatedTypeToText(char kind)
{
    if (!oneOf(kind, "rud"))
        throw std::runtime_error("unhandled monitor created type");
    return QString(QLatin1Char(kind));
}

int selectIfFromText(const QString& text)
{
    switch (firstChar(text)) {
    case 'm': return 0;
    case 'a': return 1;
    case 'M': return 2;
    case 's': return 3;
    default: throw std::runtime_error("unknown select_if value");
    }
}

QString selectIfToText(int value)
{
    static const char* const codes[] = {"m", "a", "M", "s"};
    if (value < 0 || value > 3)
        throw std::runtime_error("unknown value for select_if");
    return QString::fromLatin1(codes[value]);
}

int createNotFoundFromText(const QString& text)
{
    switch (firstChar(text)) {
    case 'n': return 0;
    case 'e': return 1;
    case 'a': return 2;
    default: throw std::runtime_error("unknown create_not_found value");
    }
}

QString createNotFoundToText(int value)
{
    static const char* const codes[] = {"n", "e", "a"};
    if (value < 0 || value > 2)
        throw std::runtime_error("unknown value for create_not_found");
    return QString::fromLatin1(codes[value]);
}

char psFlagFromText(const QString& text) { return firstChar(text) == 'P' ? 'P' : 'S'; }
QString psFlagToText(char flag) { return flag == 'P' ? QStringLiteral("P") : QStringLiteral("S"); }

QString subjectKindToText(int kind)
{
    static const char* const texts[] = {"monitor", "monitor type", "monitor category", "host",
        "host group", "status", "agent", "root", "application", "template category", "template type",
        "alert", "alert type"};
    if (kind < 0 || kind > 12)
        return QStringLiteral("invalid");
    return QString::fromLatin1(texts[kind]);
}

QString statusToShortText(int status)
{
    switch (status) {
    case 0: return QStringLiteral("OK");
    case 1: return QStringLiteral("Warning");
    case 2: return QStringLiteral("Down");
    default: return QStringLiteral("Unknown");
    }
}

QString creationWayToText(int way)
{
    static const char* const texts[] = {"by discovery", "by REST API", "by MCP", "as standard"};
    if (way < 0 || way > 3)
        return QStringLiteral("by unknown means");
    return QString::fromLatin1(texts[way]);
}

QString networkName(int number) { return QStringLiteral("Network_%1").arg(number); }

bool isPluginLibraryFile(const QString& path)
{
    // The Windows name is kept for stored paths; the library of this platform counts too.
    for (const char* name : {"zam_core.dll", "libzam_core.so"}) {
        const QString n = QString::fromLatin1(name);
        if (path.compare(n, Qt::CaseInsensitive) == 0
            || path.endsWith(QLatin1Char('/') + n, Qt::CaseInsensitive)
            || path.endsWith(QLatin1Char('\\') + n, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

int guard77(int value)
{
    if (value < 0 || value > 76 || value == 29 || value == 41 || (value >= 43 && value <= 46)
        || (value >= 53 && value <= 57))
        return 40;
    return value;
}

int nextSequenceNumber()
{
    static QMutex mutex;
    static int last = 0;
    QMutexLocker lock(&mutex);
    last = int((quint32(last) + 1) & 0x7fffffffu);
    return last;
}

int indexGuard(int value, int max, int other) { return value >= 0 && value <= max ? value : other; }
int zeroOneElseTwo(int value) { return value == 0 || value == 1 ? value : 2; }

int storedOrderToLevel(int value)
{
    static const int levels[] = {0, 0, 0, 0, 1, 2, 3, 4};
    return value >= 0 && value <= 7 ? levels[value] : 1;
}

int reversedOrder3(int value)
{
    return value >= 0 && value <= 2 ? 2 - value : -1;
}

int groupIndexToLevel(int group, int index)
{
    if (group == 0)
        return index >= -1 && index <= 2 ? 2 - index : 3;
    if (group >= 1 && group <= 4)
        return group + 3;
    return 3;
}

SDaySchedule dayScheduleFromText(const QString& text)
{
    SDaySchedule s;
    const QStringList parts = text.split(QLatin1Char(' '));
    const QString kind = parts.value(0);
    s.kind = kind == QLatin1String("AtDay") ? 1 : kind == QLatin1String("AtWeekDay") ? 2 : 0;
    if (s.kind != 0)
        s.day = parts.value(1).toInt();
    const QTime t = QTime::fromString(parts.last(), QStringLiteral("hh:mm"));
    if (t.isValid())
        s.time = t;   // an unreadable time keeps 04:05
    return s;
}

QString dayScheduleToText(const SDaySchedule& schedule)
{
    static const char* const kinds[] = {"Daily", "AtDay", "AtWeekDay"};
    const int k = schedule.kind >= 0 && schedule.kind <= 2 ? schedule.kind : 0;
    QString out = QString::fromLatin1(kinds[k]);
    if (k != 0)
        out += QStringLiteral(" %1").arg(schedule.day);
    return out + QLatin1Char(' ') + schedule.time.toString(QStringLiteral("hh:mm"));
}
