#pragma once
#include "SSettingEnumValue.h"
#include "common/Optional.h"

#include <QList>
#include <vector>

// One setting of a monitor as the central service sent it, with the plain views the library
// reads: its 72-byte settings entry and the enumeration rows behind it. Plain value; copies
// share their members until fillEntry makes them their own.
struct SMonitorSetting
{
    QString name;
    SGuardedValue displayName;   // the name the library's option tables know, leading blank included
    SGuardedValue displayHint;
    qint32 kind = 0;             // setting kind letter
    Optional<int> minValue;
    Optional<int> maxValue;
    Optional<int> intValue;
    QString valueText;
    SGuardedValue valueString;   // UTF-8 of valueText, rebuilt by fillEntry; not streamed
    QList<SSettingEnumValue> enumValues;
    std::vector<stZamEnumRow> enumRows;

    // Rebuilds valueString and the enumeration rows and fills the entry; every pointer points
    // into this setting's own buffers.
    void fillEntry(stZamSettingEntry& entry);
};

QDataStream& operator<<(QDataStream& out, const SMonitorSetting& s);
// Reads one setting from a peer's stream. Bad guarded forms, a count beyond the bytes left or a
// truncated stream mark the stream corrupt; a kind outside the known letters sets badKind.
bool readMonitorSetting(QDataStream& in, SMonitorSetting& s, QString* failReason, bool* badKind);
