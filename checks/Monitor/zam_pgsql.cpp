#include "zam_monitor_functions.h"

// libpq needs no process or thread start; the hooks exist so both database types start alike.
void pluginPgsqlInit() {}
void pluginPgsqlTerm() {}
void pluginPgsqlInitThread(stCoreZamThreadContext*) {}
void pluginPgsqlTermThread(stCoreZamThreadContext*) {}
