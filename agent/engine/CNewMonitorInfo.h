#pragma once

#include <QDataStream>
#include <QMap>
#include <QSet>
#include <QString>
#include <QVariant>

// One setting of a monitor found by a discovery poll.
struct CZamNewMonitorSetting
{
    QString name;
    QVariant value;
    bool flag = false;
};

// A monitor found by a discovery poll; a plain value.
struct CNewMonitorInfo
{
    QString typeName;
    QString name;
    QMap<QString, CZamNewMonitorSetting> settings;  // keyed by setting name

    QSet<QString> flaggedSettingNames() const;
};

// Type name, name, int32 count, then per setting in key order: name, variant, flag.
QDataStream& operator<<(QDataStream& out, const CNewMonitorInfo& info);
// Reads the same; counts are checked against the bytes left and container variants are
// read with bounded counts, so a hostile record cannot force a large allocation.
QDataStream& operator>>(QDataStream& in, CNewMonitorInfo& info);
