#include "SettingRecordBuilders.h"

#include "common/PasswordText.h"
#include "stZamMonitor.h"

namespace {

void setGuarded(SGuardedValue& target, const QString& name, const QByteArray& value)
{
    target = SGuardedValue(name);
    target.setValue(value);
}

} // namespace

SSettingEnumValue makeSettingEnumValue(const SEnumDescriptor& descriptor, const QString& settingName)
{
    SSettingEnumValue e;
    e.name = QStringLiteral("enum %1 for %2").arg(descriptor.name.value(), settingName);
    setGuarded(e.displayName, QStringLiteral("display name for %1").arg(e.name), descriptor.name.value().toUtf8());
    setGuarded(e.displayHint, QStringLiteral("display hint for %1").arg(e.name),
               descriptor.description.hasValue() ? descriptor.description.value().toUtf8() : QByteArray());
    setGuarded(e.disabledNames, QStringLiteral("disabled names for %1").arg(e.name),
               descriptor.disabledNames.hasValue() ? descriptor.disabledNames.value().toUtf8() : QByteArray());
    e.value = descriptor.value.value();
    return e;
}

SMonitorSetting makeMonitorSetting(const SSettingValue& value, const SSettingDescriptor& descriptor,
                                   bool useAdminMacros, const QString& ownerName)
{
    SMonitorSetting s;
    s.name = QStringLiteral("setting %1 for %2").arg(descriptor.name.value(), ownerName);
    setGuarded(s.displayName, QStringLiteral("display name for %1").arg(s.name), descriptor.name.value().toUtf8());
    setGuarded(s.displayHint, QStringLiteral("display hint for %1").arg(s.name),
               descriptor.description.hasValue() ? descriptor.description.value().toUtf8() : QByteArray());
    s.valueString = SGuardedValue(QStringLiteral("value string for %1").arg(s.name));
    s.kind = descriptor.kind.value();
    s.minValue = descriptor.minValue;
    s.maxValue = descriptor.maxValue;

    Optional<QString> text;
    const bool adminKind = s.kind == 'l' || s.kind == 'p' || s.kind == 'd';
    if (useAdminMacros && adminKind) {
        text = s.kind == 'l'   ? QStringLiteral("$AdminName")
               : s.kind == 'p' ? QStringLiteral("$AdminPassword")
                               : QStringLiteral("$AdminDomain");
    } else {
        s.intValue = value.intValue;
        text = value.textValue;
        if (s.kind == 'p' && text.hasValue()) {
            QString decoded;
            decodePasswordText(text.value(), &decoded, value.decodingContext.get());
            text = decoded;
        }
    }
    s.valueText = text.hasValue() ? text.value() : QString();

    for (const SEnumDescriptor& e : descriptor.enumDescriptors)
        s.enumValues.append(makeSettingEnumValue(e, s.name));
    return s;
}

SMonitorSetting monitorSettingFromName(const QString& name)
{
    SMonitorSetting s;
    s.name = name;
    s.displayName.setValue(name.toUtf8());
    s.displayHint.setValue(QByteArray());
    s.kind = 's';
    s.valueText = name;
    return s;
}

void clearSettings(stZamMonitor& monitor)
{
    std::vector<stZamSettingEntry>().swap(monitor.settingEntries);
    monitor.settingRecords.clear();
    monitor.settings.count = 0;
    monitor.settings.entries = nullptr;
}
