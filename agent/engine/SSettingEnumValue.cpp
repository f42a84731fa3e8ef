#include "SSettingEnumValue.h"
#include "common/DataStreamLimits.h"
#include "common/Optional.h"

bool readGuardedForm(QDataStream& in, SGuardedValue& target, const char* what, QString* failReason)
{
    if (in.status() == QDataStream::Ok && !OptionalDetail::lengthPrefixFits(in))
        in.setStatus(QDataStream::ReadPastEnd);
    QByteArray form;
    in >> form;
    if (in.status() != QDataStream::Ok) {
        if (failReason && failReason->isEmpty())
            *failReason = QStringLiteral("%1: truncated stream").arg(QLatin1String(what));
        return false;
    }
    const QString problem = SGuardedValue::checkForm(form);
    if (!problem.isEmpty()) {
        markStreamCorrupt(in);
        if (failReason && failReason->isEmpty())
            *failReason = QStringLiteral("%1: %2").arg(QLatin1String(what), problem);
        return false;
    }
    target.bytes = form;   // taken as it arrived, never re-encoded
    return true;
}

void SSettingEnumValue::fillRow(stZamEnumRow& row)
{
    row.label = displayName.valueData();
    row.description = displayHint.valueData();
    row.disables = disabledNames.valueData();
    row.value = value;
    row.pad = 0;
}

QDataStream& operator<<(QDataStream& out, const SSettingEnumValue& v)
{
    out << v.displayName.bytes << v.displayHint.bytes << v.disabledNames.bytes << v.value;
    return out;
}

bool readSettingEnumValue(QDataStream& in, SSettingEnumValue& v, QString* failReason)
{
    if (!readGuardedForm(in, v.displayName, "enumeration choice name", failReason)
        || !readGuardedForm(in, v.displayHint, "enumeration choice description", failReason)
        || !readGuardedForm(in, v.disabledNames, "enumeration choice disabled names", failReason))
        return false;
    in >> v.value;
    if (in.status() != QDataStream::Ok) {
        if (failReason && failReason->isEmpty())
            *failReason = QStringLiteral("enumeration choice value: truncated stream");
        return false;
    }
    return true;
}

QDataStream& operator>>(QDataStream& in, SSettingEnumValue& v)
{
    readSettingEnumValue(in, v, nullptr);
    return in;
}
