#include "engine/SWeeklyMaintenanceSetting.h"

#include "engine/ScheduleTimeRanges.h"

SWeeklyMaintenanceSetting::SWeeklyMaintenanceSetting(const SWeeklyMaintenanceSetting& other)
    : name(other.name), monday(other.monday), tuesday(other.tuesday), wednesday(other.wednesday),
      thursday(other.thursday), friday(other.friday), saturday(other.saturday), sunday(other.sunday)
{
    updateRanges();
}

SWeeklyMaintenanceSetting& SWeeklyMaintenanceSetting::operator=(const SWeeklyMaintenanceSetting& other)
{
    name = other.name;
    monday = other.monday;
    tuesday = other.tuesday;
    wednesday = other.wednesday;
    thursday = other.thursday;
    friday = other.friday;
    saturday = other.saturday;
    sunday = other.sunday;
    updateRanges();
    return *this;
}

QString SWeeklyMaintenanceSetting::dayText(int day) const
{
    const Optional<QString>* days[7] = {&sunday, &monday, &tuesday, &wednesday, &thursday, &friday, &saturday};
    if (day < 0 || day > 6 || !days[day]->hasValue())
        return QString();
    return days[day]->rawValue();
}

void SWeeklyMaintenanceSetting::updateRanges()
{
    ranges = parseScheduleTimeRanges(*this);
}
