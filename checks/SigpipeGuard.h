#pragma once
// Blocks SIGPIPE on the calling thread for the guard's life and swallows one raised meanwhile,
// so a write to a peer that went away (TLS writes, a child's closed standard input) fails with
// EPIPE instead of ending the daemon. Stack object, one thread.

#include <cerrno>
#include <csignal>
#include <ctime>
#include <pthread.h>

class SigpipeGuard
{
public:
    SigpipeGuard()
    {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
        m_blocked = pthread_sigmask(SIG_BLOCK, &pipe, &m_old) == 0;
    }
    ~SigpipeGuard()
    {
        if (!m_blocked)
            return;
        if (!m_wasPending) {
            sigset_t pending;
            sigpending(&pending);
            if (sigismember(&pending, SIGPIPE) == 1) {
                sigset_t pipe;
                sigemptyset(&pipe);
                sigaddset(&pipe, SIGPIPE);
                const timespec zero{0, 0};
                while (sigtimedwait(&pipe, nullptr, &zero) == -1 && errno == EINTR) {
                }
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    SigpipeGuard(const SigpipeGuard&) = delete;
    SigpipeGuard& operator=(const SigpipeGuard&) = delete;

private:
    sigset_t m_old{};
    bool m_wasPending = false;
    bool m_blocked = false;
};
