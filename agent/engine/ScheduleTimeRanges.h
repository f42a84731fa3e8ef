#pragma once
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QTime>

struct SWeeklyMaintenanceSetting;

// Minutes of the week run from 0 (Sunday 00:00) to 10079 (Saturday 23:59).
constexpr int kMinutesPerDay = 1440;
constexpr int kMinutesPerWeek = 10080;

int minuteOfWeek(const QDateTime& time);

// One time of day in any of 15 forms ("7", "07:05", "7pm", "07:05 PM" without the blank...);
// "24:00" reads as 00:00. An invalid QTime when nothing fits. Pure, thread-safe.
QTime parseTimeOfDay(const QString& text);

// ranges (disjoint, half-open, keyed by start) with [start, end) added; overlapping or
// touching ranges are merged into one.
QMap<int, int> mergeScheduleRange(const QMap<int, int>& ranges, int start, int end);

// The minute-of-week ranges of the seven day texts. Parts that do not parse are dropped.
QMap<int, int> parseScheduleTimeRanges(const SWeeklyMaintenanceSetting& record);
// Ranges of one day's text with the given day index (Sunday 0 ... Saturday 6) added to ranges.
QMap<int, int> addScheduleDayRanges(const QMap<int, int>& ranges, int day, const QString& text);

// Whether every part of one day's text ("08:00-12:00; 13:00-17:00") parses; empty is valid.
bool isValidScheduleDayRanges(const QString& text);
