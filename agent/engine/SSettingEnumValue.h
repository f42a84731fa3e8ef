#pragma once
#include "SGuardedValue.h"
#include "zam_plugin_api.h"

#include <QDataStream>

// One enumeration choice of a monitor setting, with its 32-byte plain row for the library.
// Plain value; copies share their guarded bytes until fillRow makes them their own.
struct SSettingEnumValue
{
    QString name;
    SGuardedValue displayName;
    SGuardedValue displayHint;
    SGuardedValue disabledNames;
    qint32 value = 0;

    // Points the row at this choice's own buffers (valid until the choice changes or ends).
    void fillRow(stZamEnumRow& row);
};

// Stream form: three guarded forms as byte arrays, then the int32 value. The reader checks
// each guarded form (see SGuardedValue::checkForm) and marks the stream corrupt on a bad one;
// failReason, when given, receives why.
QDataStream& operator<<(QDataStream& out, const SSettingEnumValue& v);
QDataStream& operator>>(QDataStream& in, SSettingEnumValue& v);
bool readSettingEnumValue(QDataStream& in, SSettingEnumValue& v, QString* failReason);
// Reads one guarded form from a peer's stream; false (stream marked corrupt) when refused.
bool readGuardedForm(QDataStream& in, SGuardedValue& target, const char* what, QString* failReason);
