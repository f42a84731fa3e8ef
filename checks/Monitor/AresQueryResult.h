#pragma once
// The state of one DNS query of a DNS poll, filled by the c-ares callback: whether it ran, the
// c-ares status and the values of the reply. Owned by the poll on its task thread; c-ares calls
// the callback on that same thread (inside ares_process_fd, ares_cancel or ares_destroy), so
// nothing is locked.

#include "zam_plugin_api.h"

#include <string>
#include <vector>

class AresQueryResult
{
public:
    AresQueryResult(stZamMonitor* mon, int wantedType, int secondWantedType);

    // The c-ares callback; arg is the AresQueryResult.
    static void callback(void* arg, int status, int timeouts, unsigned char* reply, int length);

    bool done() const { return m_done; }
    int status() const { return m_status; }
    int timeouts() const { return m_timeouts; }
    const std::vector<std::string>& values() const { return m_values; }

private:
    void take(int status, int timeouts, const unsigned char* reply, int length);

    bool m_done = false;
    int m_status = 1;
    int m_timeouts = 0;
    std::vector<std::string> m_values;
    int m_wantedType;
    int m_secondWantedType;
    stZamMonitor* m_mon;
};
