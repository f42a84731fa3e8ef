#include "SettingTests.h"

namespace {

// The display name as the library sees it: the guarded value up to its first zero byte; a form
// too short to hold a value reads as empty.
QByteArray displayNameText(const SMonitorSetting& s)
{
    const QByteArray v = s.displayName.value();
    return v.left(int(qstrnlen(v.constData(), uint(v.size()))));
}

} // namespace

int scriptTakeDelta(const SMonitorSetting& setting, const QString& typeName, int& takeDelta)
{
    if (displayNameText(setting) != "Take delta")
        return -1;
    takeDelta = setting.intValue.value();
    static const QStringList scriptTypes{QStringLiteral("WMI Query"), QStringLiteral("SSH (Remote Script or Program)"),
                                         QStringLiteral("Python script"), QStringLiteral("Script or Program")};
    if (!scriptTypes.contains(typeName, Qt::CaseSensitive))
        return -1;
    return setting.intValue.hasValue() && setting.intValue.value() == 1 ? 2 : -1;
}

bool isDivisorText(const SMonitorSetting& setting)
{
    const QByteArray name = displayNameText(setting);
    return (name == "Divide returned value by" || name == " Divide returned value by") && setting.kind == 's';
}

bool snmpProcessMetric(const SMonitorSetting& setting, const QString& typeName, int& normalizeByTime)
{
    const QByteArray name = displayNameText(setting);
    if (name == "Metric" && setting.intValue.hasValue() && setting.intValue.value() == 1
        && typeName == QLatin1String("SNMP Process"))
        return true;
    if (name == "Normalize by time" && setting.kind == 'y')
        normalizeByTime = setting.intValue.value();
    return false;
}

int counterMode(const SMonitorSetting& setting, int& counterType, int& takeDelta)
{
    const QByteArray name = displayNameText(setting);
    if (counterType == -1 && name == "Counter Type" && setting.kind == 'e')
        counterType = setting.intValue.value();
    if (takeDelta == -1 && name == "Take delta")
        takeDelta = setting.intValue.value();
    if (counterType == -1 || takeDelta == -1)
        return -1;
    if (takeDelta == 0)
        return counterType;
    return counterType == 0 ? 2 : 1;
}
