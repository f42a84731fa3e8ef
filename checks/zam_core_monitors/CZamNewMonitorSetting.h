#pragma once
// One setting of a discovered monitor: a value of any variant type and a flag.

#include <QVariant>

class CZamNewMonitorSetting
{
public:
    CZamNewMonitorSetting() = default;
    CZamNewMonitorSetting(const QVariant& value, bool flag) : m_value(value), m_flag(flag) {}

    const QVariant& value() const { return m_value; }
    bool flag() const { return m_flag; }

private:
    QVariant m_value;
    bool m_flag = false;
};
