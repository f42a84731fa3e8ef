#include "snmp_mutex.h"

pthread_mutex_t snmp_mutex = PTHREAD_MUTEX_INITIALIZER;
