#pragma once
#include "CNewMonitorInfo.h"
#include "zam_plugin_api.h"

// Turns the library's new-monitor request into a record of its own: the two UTF-8 names and,
// per setting, the variant read from its hexadecimal QDataStream (version 12) form and the flag.
// A later setting of the same name replaces an earlier one; an undecodable value gives an
// invalid variant. Pure function; the request is not kept.
CNewMonitorInfo buildNewMonitorInfo(const stZamNewMonitorRequest& request);
