#pragma once
// Builders of monitor records and their stream forms for the engine's tests.
#include "engine/stZamMonitor.h"

#include <QBuffer>
#include <QDataStream>

namespace fixtures {

inline SMonitorSetting setting(const QByteArray& optionName, char kind, const QString& valueText,
                               Optional<int> intValue = Optional<int>())
{
    SMonitorSetting s;
    s.displayName.setValue(optionName);
    s.displayHint.setValue("hint of " + optionName);
    s.kind = kind;
    s.intValue = intValue;
    s.valueText = valueText;
    return s;
}

inline SSettingEnumValue choice(const QByteArray& label, int value, const QByteArray& disables = QByteArray())
{
    SSettingEnumValue v;
    v.displayName.setValue(label);
    v.displayHint.setValue("about " + label);
    v.disabledNames.setValue(disables);
    v.value = value;
    return v;
}

// A record as the service would send it: id, plug-in 1, type index, host and settings.
inline stZamMonitorPtr record(Optional<int> id, int typeIndex, const QList<SMonitorSetting>& settings,
                              const char* host = "localhost", int mode = 0)
{
    stZamMonitorPtr r(new stZamMonitor);
    r->optMonitorId = id;
    r->pluginId = 1;
    r->typeIndex = static_cast<unsigned>(typeIndex);
    r->mode = mode;
    r->useHostName = 1;
    qstrncpy(r->hostName, host, sizeof(r->hostName));
    qstrncpy(r->hostAddress, "127.0.0.1", sizeof(r->hostAddress));
    r->timeout = 5;
    r->settingRecords = settings;
    r->buildSettingEntries();
    return r;
}

inline QByteArray streamOf(const stZamMonitor& r)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(7);
    writeMonitorRecord(out, r);
    return bytes;
}

// Reads a record the way the agent link does; the reason is empty when it was accepted.
inline QString readStream(const QByteArray& bytes, stZamMonitorPtr& into)
{
    into = stZamMonitorPtr(new stZamMonitor);
    QDataStream in(bytes);
    in.setVersion(7);
    return readMonitorRecord(in, *into);
}

} // namespace fixtures
