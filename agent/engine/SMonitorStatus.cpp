#include "SMonitorStatus.h"

#include "common/EnumTexts.h"
#include "common/DataStreamLimits.h"

SPackedStatusValue packStatusValue(const SStatusValue& v)
{
    if (v.kind == 2)
        return SPackedStatusValue{2, qint32(quint32(quint64(v.value) & 0xffffffffu))};
    if (v.kind == 3)
        return SPackedStatusValue{3, 0};
    if (!(v.kind & 2))
        return SPackedStatusValue{1, 0};
    return SPackedStatusValue{v.kind, 0};
}

SStatusValue unpackStatusValue(const SPackedStatusValue& p)
{
    if (p.kind == 2)
        return SStatusValue{2, qint64(p.value)};
    if (p.kind == 3)
        return SStatusValue{3, 0};
    if (!(p.kind & 2))
        return SStatusValue{1, 0};
    return SStatusValue{p.kind, 0};
}

SMonitorStatus::SMonitorStatus(int status_, int second_, int third_, const SStatusValue& value_, const QString& text_,
                               const QString& secondText_, const QStringList& list_, const QDateTime& time_, int flags_)
    : built(1), status(status_), second(second_), third(third_), value(value_), text(text_),
      secondText(secondText_), list(list_), time(time_), flags(flags_)
{
}

QDataStream& operator<<(QDataStream& out, const SMonitorStatusDetails& d)
{
    out << d.present << d.text1 << d.text2 << d.text3 << d.text4;
    return out;
}

QDataStream& operator>>(QDataStream& in, SMonitorStatusDetails& d)
{
    d = SMonitorStatusDetails();
    in >> d.present >> d.text1 >> d.text2 >> d.text3 >> d.text4;
    return in;
}

void writeStatusBody(QDataStream& out, const SMonitorStatus& s, const SMonitorStatusDetails& details, bool wide)
{
    out << qint32(s.second) << qint32(s.third);
    if (wide) {
        out << bool(s.value.kind & 2) << bool(s.value.kind & 1) << qint64(s.value.value);
    } else {
        const SPackedStatusValue p = packStatusValue(s.value);
        out << bool(p.kind & 2) << bool(p.kind & 1) << qint32(p.value);
    }
    out << s.text << s.secondText << details;
    out << quint32(s.list.size());
    for (const QString& item : s.list)
        out << item;
}

void readStatusBody(QDataStream& in, SMonitorStatus& s, SMonitorStatusDetails& details, bool wide)
{
    qint32 second = 0, third = 0;
    bool bit1 = false, bit0 = false;
    in >> second >> third >> bit1 >> bit0;
    const int kind = (bit1 ? 2 : 0) + (bit0 ? 1 : 0);
    SStatusValue value;
    if (wide) {
        qint64 v = 0;
        in >> v;
        value = SStatusValue{kind, v};
    } else {
        qint32 v = 0;
        in >> v;
        value = unpackStatusValue(SPackedStatusValue{kind, v});
    }
    QString text, secondText;
    in >> text >> secondText >> details;
    details.extra = 0;
    QStringList list;
    quint32 count = 0;
    in >> count;
    // Each string takes at least its 4-byte length.
    if (!streamCountFits(in, count, 4)) {
        markStreamCorrupt(in);
    } else {
        for (quint32 i = 0; i < count; ++i) {
            QString item;
            in >> item;
            if (in.status() != QDataStream::Ok) {
                list.clear();
                break;
            }
            list.append(item);
        }
    }
    s = SMonitorStatus(1, enumFromIndex4(second), enumFromIndex3(third), value, text, secondText, list,
                       QDateTime(), 0);
}
