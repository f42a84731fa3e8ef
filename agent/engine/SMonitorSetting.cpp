#include "SMonitorSetting.h"
#include "common/EnumTexts.h"
#include "common/DataStreamLimits.h"

#include <stdexcept>

namespace {
// The smallest stream form of an enumeration choice: three empty byte arrays and the value.
constexpr qint64 kMinEnumValueBytes = 3 * 4 + 4;

bool knownKind(qint32 kind)
{
    if (kind < 0 || kind > 127)
        return false;
    try {
        settingKindFromCode(static_cast<char>(kind));
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}
}

void SMonitorSetting::fillEntry(stZamSettingEntry& entry)
{
    valueString.setValue(valueText.toUtf8());
    entry = stZamSettingEntry{};
    entry.name = displayName.valueData();
    entry.description = displayHint.valueData();
    entry.id = kind;
    entry.valueText = valueString.valueData();
    entry.valueInt = intValue.hasValue() ? static_cast<int64_t>(intValue.rawValue()) : 0;
    entry.min = minValue.hasValue() ? static_cast<int64_t>(minValue.rawValue()) : -1;
    entry.max = maxValue.hasValue() ? static_cast<int64_t>(maxValue.rawValue()) : -1;

    const int count = enumValues.size();
    // At least one row, so that the pointer is valid also without choices.
    enumRows.assign(static_cast<size_t>(qMax(count, 1)), stZamEnumRow{});
    for (int j = 0; j < count; ++j)
        enumValues[j].fillRow(enumRows[static_cast<size_t>(j)]);   // non-const access: own list
    entry.enumCount = count;
    entry.enums = enumRows.data();
}

QDataStream& operator<<(QDataStream& out, const SMonitorSetting& s)
{
    out << s.displayName.bytes << s.displayHint.bytes << s.kind << s.minValue << s.maxValue << s.intValue
        << s.valueText << static_cast<quint32>(s.enumValues.size());
    for (const SSettingEnumValue& v : s.enumValues)
        out << v;
    return out;
}

bool readMonitorSetting(QDataStream& in, SMonitorSetting& s, QString* failReason, bool* badKind)
{
    auto fail = [&](const QString& why) {
        markStreamCorrupt(in);
        if (failReason && failReason->isEmpty())
            *failReason = why;
        return false;
    };
    if (!readGuardedForm(in, s.displayName, "setting name", failReason)
        || !readGuardedForm(in, s.displayHint, "setting description", failReason))
        return false;
    in >> s.kind >> s.minValue >> s.maxValue >> s.intValue;
    if (in.status() == QDataStream::Ok && !OptionalDetail::lengthPrefixFits(in))
        in.setStatus(QDataStream::ReadPastEnd);
    in >> s.valueText;
    quint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok)
        return fail(QStringLiteral("setting: truncated stream"));
    if (!knownKind(s.kind)) {
        if (badKind)
            *badKind = true;
        return fail(QStringLiteral("bad setting kind"));
    }
    if (!streamCountFits(in, count, kMinEnumValueBytes))
        return fail(QStringLiteral("setting: %1 enumeration choices beyond the bytes present").arg(count));
    s.enumValues.clear();
    s.enumValues.reserve(static_cast<int>(count));
    for (quint32 i = 0; i < count; ++i) {
        SSettingEnumValue v;
        if (!readSettingEnumValue(in, v, failReason))
            return fail(QStringLiteral("setting: truncated stream"));
        s.enumValues.append(v);
    }
    return true;
}
