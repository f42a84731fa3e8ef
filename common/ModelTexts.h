#pragma once

#include "Optional.h"

#include <QString>

// Small texts of the configuration model shared by several components. Pure functions.

// Slash, backslash, colon, asterisk, single and double quote each become "-".
QString sanitizeFileName(const QString& name);

// True when two HTTP(S) monitor URLs address the same resource once the host macros of the
// central service ("$HostDns", "$HostIp") and default ports are brought to one form.
bool sameMonitorUrl(const QString& a, const QString& b);

// "monitor %1 (%2 on %3)": id, monitor name, host name.
QString monitorText(int id, const Optional<QString>& name, const Optional<QString>& host);
// "action %1 (%2)": id, action name.
QString actionText(int id, const Optional<QString>& name);
