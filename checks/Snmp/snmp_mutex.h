#pragma once

#include <pthread.h>

// Serialises SNMP session set-up across polling threads; zam_plugin_init sets it up and
// zam_plugin_term destroys it.
extern pthread_mutex_t snmp_mutex;
