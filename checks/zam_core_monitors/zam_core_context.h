#pragma once
// The two blocks the library hands out: one per loaded library (init/term on one thread while no
// poll runs) and one per polling thread. The host never looks inside either.

#include <pthread.h>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

struct stCoreZamContext {
    int active;                    // 1 while initialised
    struct snmp_session session;   // template that SNMP checks copy before opening a session
    pthread_mutex_t* snmpMutex;    // the host's shared SNMP lock, or snmp_mutex: SNMP set-up and v3 users
};

// Whatever the size of Net-SNMP's session record, the block is never smaller than this.
constexpr size_t kCoreZamContextMinSize = 520;

struct stCoreZamThreadContext {
    unsigned char mysqlThreadInit;  // mysql_thread_init ran on this thread
    unsigned char pgsqlThreadInit;
    unsigned char reserved[2];
};
static_assert(sizeof(stCoreZamThreadContext) == 4, "thread context is a 4-byte block");
