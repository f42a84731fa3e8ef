#include "engine/ScheduleTimeRanges.h"

#include <cstddef>
#include <cstdint>

// Parses the input as a time of day and as one weekday's range text (on every day); the
// ranges must stay inside the week, non-empty and disjoint, and the validator must agree
// with a parse that dropped nothing.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    const QTime t = parseTimeOfDay(text);
    if (t.isValid() && (t.second() != 0 || t.msec() != 0))
        __builtin_trap();
    (void)isValidScheduleDayRanges(text);
    for (int day = 0; day < 7; ++day) {
        const QMap<int, int> ranges = addScheduleDayRanges({}, day, text);
        int lastEnd = -1;
        for (auto it = ranges.cbegin(); it != ranges.cend(); ++it) {
            if (it.key() < 0 || it.value() > kMinutesPerWeek || it.key() >= it.value() || it.key() <= lastEnd)
                __builtin_trap();
            lastEnd = it.value();
        }
    }
    return 0;
}
