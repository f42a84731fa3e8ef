#pragma once
// One expected-response rule of a DNS monitor, applied to all values of the reply at once: the
// rule is met when some value matches some alternative (containing it, equal to it, or by a
// regular expression found in it or matching it whole), or, inverted, when none does. A reply
// without values matches nothing. Value type; no shared state.

#include "zam_plugin_api.h"

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

class DnsResponseRule
{
public:
    DnsResponseRule() = default;
    DnsResponseRule(int flags, const QString& text);
    // Rule 0 or 1 of the monitor; an inactive rule for any other index.
    static DnsResponseRule fromMonitor(const stZamMonitor* mon, int index);

    bool active() const { return (m_flags & ZAM_VALIDATE_ACTIVE) != 0; }
    void switchOff() { m_flags = 0; }
    // True when the values meet the rule (an inactive rule always is). On a miss, *lastValue
    // gets the last value examined.
    bool holds(const std::vector<std::string>& values, QString* lastValue) const;

private:
    int m_flags = 0;
    QStringList m_alternatives;  // the text split at U+00A0, empty parts kept
};
