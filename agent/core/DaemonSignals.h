#pragma once
#include <functional>

// Signals of the daemon. The handlers only touch lock-free atomics and post a semaphore
// (sem_post is async-signal-safe); a worker thread does the rest outside the handler:
// it wakes the service loop on HUP/INT/TERM and suspends (USR1) or resumes (USR2) the log file.

// HUP, INT, TERM: sets stopRequested. ABRT: hands over to the handler that was installed
// before (the abort then takes its course).
void onSignal(int signalNumber);
// USR1 and USR2: records the request for the worker.
void onLogRotateSignal(int signalNumber);

// Installs the handlers in the order INT, ABRT, TERM, HUP, USR1, USR2.
void installSignalHandlers();
// Starts the worker; onStopRequested runs on the worker's thread after a stop signal.
void startSignalWorker(const std::function<void()>& onStopRequested);
// Ends the worker; a log suspended at that moment is resumed, so nothing waits for ever.
void stopSignalWorker();
