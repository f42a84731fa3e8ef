#pragma once

#include <pthread.h>

// Serialises SNMP session set-up and SNMPv3 user changes across polling threads when the host
// offers no shared lock (ZAM_SERVICE_SNMP_SHARED_MUTEX); zam_plugin_init sets it up and
// zam_plugin_term destroys it.
extern pthread_mutex_t snmp_mutex;
