#include "DaemonSignals.h"
#include "LogFile.h"
#include "ProcessOptions.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <semaphore.h>
#include <thread>

namespace {

struct sigaction g_previousAbort;
std::atomic<bool> g_havePreviousAbort{false};

// Written by the handlers, read by the worker.
std::atomic<unsigned> g_usr1Count{0};
std::atomic<unsigned> g_usr2Count{0};
std::atomic<int> g_lastRotateSignal{0};
std::atomic<bool> g_workerQuit{false};
sem_t g_wake;
std::atomic<bool> g_wakeReady{false};

std::thread g_worker;

void postWake()
{
    if (g_wakeReady.load())
        ::sem_post(&g_wake);
}

void install(int signalNumber, void (*handler)(int), struct sigaction* previous = nullptr)
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signalNumber, &action, previous);
}

// Applies the rotation requests that arrived since the last call, in the order they most
// likely came: a suspension first, then a resumption, and the last signal decides the end.
void applyRotationRequests(unsigned& seen1, unsigned& seen2)
{
    const unsigned n1 = g_usr1Count.load();
    const unsigned n2 = g_usr2Count.load();
    const int last = g_lastRotateSignal.load();
    const bool got1 = n1 != seen1;
    const bool got2 = n2 != seen2;
    seen1 = n1;
    seen2 = n2;
    if (isLogFileSuspended()) {
        if (got2)
            resumeLogFile();
        if (got1 && got2 && last == SIGUSR1)
            suspendLogFile();
    } else {
        if (got1)
            suspendLogFile();
        if (got1 && got2 && last == SIGUSR2)
            resumeLogFile();
    }
}

void workerLoop(std::function<void()> onStopRequested)
{
    unsigned seen1 = g_usr1Count.load();
    unsigned seen2 = g_usr2Count.load();
    bool stopSeen = false;
    for (;;) {
        while (::sem_wait(&g_wake) != 0 && errno == EINTR) {
        }
        if (g_workerQuit.load())
            break;
        applyRotationRequests(seen1, seen2);
        if (!stopSeen && stopRequested.load()) {
            stopSeen = true;
            if (onStopRequested)
                onStopRequested();
        }
    }
    // The mutex a suspension holds belongs to this thread; release it before leaving.
    resumeLogFile();
}

}

void onSignal(int signalNumber)
{
    switch (signalNumber) {
    case SIGHUP:
    case SIGINT:
    case SIGTERM:
        stopRequested.store(true);
        postWake();
        break;
    case SIGABRT:
        if (g_havePreviousAbort.load() && !(g_previousAbort.sa_flags & SA_SIGINFO)
            && g_previousAbort.sa_handler != SIG_DFL && g_previousAbort.sa_handler != SIG_IGN
            && g_previousAbort.sa_handler != SIG_ERR && g_previousAbort.sa_handler != onSignal)
            g_previousAbort.sa_handler(SIGABRT);
        break;
    default:
        break;
    }
}

void onLogRotateSignal(int signalNumber)
{
    if (signalNumber == SIGUSR1)
        g_usr1Count.fetch_add(1);
    else if (signalNumber == SIGUSR2)
        g_usr2Count.fetch_add(1);
    else
        return;
    g_lastRotateSignal.store(signalNumber);
    postWake();
}

void installSignalHandlers()
{
    if (!g_wakeReady.load()) {
        ::sem_init(&g_wake, 0, 0);
        g_wakeReady.store(true);
    }
    install(SIGINT, onSignal);
    install(SIGABRT, onSignal, &g_previousAbort);
    g_havePreviousAbort.store(true);
    install(SIGTERM, onSignal);
    install(SIGHUP, onSignal);
    install(SIGUSR1, onLogRotateSignal);
    install(SIGUSR2, onLogRotateSignal);
}

void startSignalWorker(const std::function<void()>& onStopRequested)
{
    if (!g_wakeReady.load()) {
        ::sem_init(&g_wake, 0, 0);
        g_wakeReady.store(true);
    }
    if (g_worker.joinable())
        return;
    g_workerQuit.store(false);
    g_worker = std::thread(workerLoop, onStopRequested);
    // A stop signal that came before the worker existed is seen at its first wake.
    if (stopRequested.load())
        postWake();
}

void stopSignalWorker()
{
    if (!g_worker.joinable())
        return;
    g_workerQuit.store(true);
    postWake();
    g_worker.join();
}
