#pragma once
// The checks' view of Net-SNMP's process-wide SNMPv3 user list. Net-SNMP keeps one user per
// engine ID and security name, with the keys of whoever created it first, and signs every
// request with that user's keys. So before a poll sends, its user is made to match the
// monitor's own passwords: kept when the keys agree, replaced when they differ. Monitors that
// share an engine ID and user name but not their passwords cannot both be right (each poll
// replaces the other's user); the daemon's trap receiver shares this user list.
// Threads: localizeKeys is pure and runs outside any lock; the other functions change the list
// and must run under the shared SNMP mutex. A replaced user is unlinked but never freed, since
// another thread may be reading it while it parses a response without the lock.

#include <cstddef>
#include <vector>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace snmpusm {

struct LocalizedKeys {
    std::vector<u_char> auth;  // empty without authentication
    std::vector<u_char> priv;  // empty without privacy
};

// The keys localised with the session's (discovered) engine ID; false when the engine ID is
// missing or Net-SNMP cannot compute them.
bool localizeKeys(const netsnmp_session* session, LocalizedKeys& keys);

// Creates the empty user that engine-ID discovery sends as, once. Under the shared mutex.
void ensureDiscoveryUser();

// Makes the list's user for the session's engine ID and name carry the session's keys.
// Answers SNMPERR_SUCCESS or Net-SNMP's error code. Under the shared mutex.
int syncUser(netsnmp_session* session, const LocalizedKeys& keys);

// Number of users replaced so far (for tests and statistics).
int replacedUsers();

}  // namespace snmpusm
