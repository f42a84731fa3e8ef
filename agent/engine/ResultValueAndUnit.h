#pragma once

#include <QtGlobal>

#include <functional>

struct stZamMonitor;

// Hands out a zeroed data area of `size` bytes in a new result section of `type`, or null;
// the monitor record's result memory.
using ResultMemory = std::function<void*(unsigned size, int type)>;

// Writes a value with its unit as three sections, in this order: type 0 (12 bytes, the low 32
// bits of the value), type 1 (the unit text with its zero, asked with 9 spare bytes), type 12
// (16 bytes, the 64-bit value). Answers the data of the type-12 section, or null when the
// memory refused a section (the sections before it stay). A null unit is an empty one.
void* addResultValueAndUnit(const ResultMemory& resultMemory, qint64 value, const char* unit);
// The same through the record's result memory (the buffer of the record it names as its own).
void* addResultValueAndUnit(stZamMonitor& monitor, qint64 value, const char* unit);
