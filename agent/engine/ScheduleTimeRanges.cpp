#include "engine/ScheduleTimeRanges.h"

#include "engine/SWeeklyMaintenanceSetting.h"

#include <QRegExp>
#include <QStringList>
#include <algorithm>

int minuteOfWeek(const QDateTime& time)
{
    const QTime t = time.time();
    return (time.date().dayOfWeek() % 7) * kMinutesPerDay + t.hour() * 60 + t.minute();
}

QTime parseTimeOfDay(const QString& text)
{
    static const char* const formats[] = {"h",   "hh",   "h:m",   "hh:m",   "hh:mm",
                                          "hap", "hhap", "h:map", "hh:map", "hh:mmap",
                                          "hAP", "hhAP", "h:mAP", "hh:mAP", "hh:mmAP"};
    QString t = text;
    if (t.startsWith(QLatin1String("24:00")))
        t.replace(0, 5, QStringLiteral("00:00"));
    for (const char* format : formats) {
        const QTime time = QTime::fromString(t, QLatin1String(format));
        if (time.isValid())
            return time;
    }
    return QTime();
}

QMap<int, int> mergeScheduleRange(const QMap<int, int>& ranges, int start, int end)
{
    for (auto it = ranges.cbegin(); it != ranges.cend(); ++it)
        if (it.key() <= start && it.value() >= end)
            return ranges;
    QMap<int, int> result;
    int newStart = start, newEnd = end;
    for (auto it = ranges.cbegin(); it != ranges.cend(); ++it) {
        if (it.value() >= start && it.key() <= end) {
            newStart = std::min(newStart, it.key());
            newEnd = std::max(newEnd, it.value());
        } else {
            result.insert(it.key(), it.value());
        }
    }
    result.insert(newStart, newEnd);
    return result;
}

namespace {

// The parts of one day's text, each split into its pieces; blanks removed, empties dropped.
QList<QStringList> dayParts(const QString& text)
{
    QList<QStringList> parts;
    QString compact = text;
    compact.remove(QLatin1Char(' '));
    for (const QString& part : compact.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        parts << part.split(QLatin1Char('-'), Qt::SkipEmptyParts);
    return parts;
}

int minuteOfDay(const QTime& t)
{
    return t.hour() * 60 + t.minute();
}

QMap<int, int> addRange(const QMap<int, int>& ranges, int start, int end)
{
    // An empty range (Saturday ending at midnight leaves [0, 0)) would only confuse lookups.
    return start < end ? mergeScheduleRange(ranges, start, end) : ranges;
}

} // namespace

QMap<int, int> addScheduleDayRanges(const QMap<int, int>& ranges, int day, const QString& text)
{
    QMap<int, int> result = ranges;
    const int base = day * kMinutesPerDay;
    for (const QStringList& pieces : dayParts(text)) {
        if (pieces.size() != 2)
            continue;
        const QTime from = parseTimeOfDay(pieces[0]);
        const QTime to = parseTimeOfDay(pieces[1]);
        if (!from.isValid() || !to.isValid())
            continue;
        const int s = minuteOfDay(from), e = minuteOfDay(to);
        if (s < e) {
            result = addRange(result, base + s, base + e);
        } else if (day == 6) {
            result = addRange(result, 0, e);
            result = addRange(result, base + s, kMinutesPerWeek);
        } else {
            result = addRange(result, base + s, base + kMinutesPerDay + e);
        }
    }
    return result;
}

QMap<int, int> parseScheduleTimeRanges(const SWeeklyMaintenanceSetting& record)
{
    QMap<int, int> ranges;
    for (int day = 0; day < 7; ++day)
        ranges = addScheduleDayRanges(ranges, day, record.dayText(day));
    return ranges;
}

bool isValidScheduleDayRanges(const QString& text)
{
    for (const QStringList& pieces : dayParts(text)) {
        if (pieces.size() != 2 || !parseTimeOfDay(pieces[0]).isValid() || !parseTimeOfDay(pieces[1]).isValid())
            return false;
    }
    return true;
}
