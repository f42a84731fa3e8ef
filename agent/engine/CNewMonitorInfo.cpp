#include "CNewMonitorInfo.h"

#include "common/BoundedVariantReader.h"
#include "common/DataStreamLimits.h"


QSet<QString> CNewMonitorInfo::flaggedSettingNames() const
{
    QSet<QString> names;
    for (auto it = settings.constBegin(); it != settings.constEnd(); ++it)
        if (it.value().flag)
            names.insert(it.value().name);
    return names;
}

QDataStream& operator<<(QDataStream& out, const CNewMonitorInfo& info)
{
    out << info.typeName << info.name << qint32(info.settings.size());
    for (auto it = info.settings.constBegin(); it != info.settings.constEnd(); ++it)
        out << it.value().name << it.value().value << it.value().flag;
    return out;
}

QDataStream& operator>>(QDataStream& in, CNewMonitorInfo& info)
{
    info = CNewMonitorInfo();
    qint32 count = 0;
    in >> info.typeName >> info.name >> count;
    if (count <= 0)
        return in;
    // A setting takes at least a name length, a variant type id and a flag.
    if (!streamCountFits(in, count, 9)) {
        markStreamCorrupt(in);
        return in;
    }
    for (qint32 i = 0; i < count; ++i) {
        CZamNewMonitorSetting s;
        in >> s.name;
        readBoundedVariant(in, s.value);
        in >> s.flag;
        if (in.status() != QDataStream::Ok)
            break;
        info.settings.insert(s.name, s);
    }
    return in;
}
