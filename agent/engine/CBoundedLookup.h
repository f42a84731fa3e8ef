#pragma once
#include <QString>

#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// Runs one blocking lookup at a time on a worker thread and waits for it at most a given
// time. A lookup that overruns is abandoned: its worker keeps running until the system call
// returns and then ends, and a fresh worker serves the next lookup. At most maxAbandoned
// workers may be outstanding; beyond that new lookups are refused at once, so a resolver that
// hangs for good costs a bounded number of threads and never blocks the caller for ever.
// Threads: run() and cancel() may be called from different threads; run() from one thread at a
// time. Each worker owns its shared state; nothing of this object is touched by an abandoned
// worker except the atomic count of outstanding abandoned workers.
class CBoundedLookup
{
public:
    enum Outcome { Answered, TimedOut, Refused, Cancelled };

    explicit CBoundedLookup(int maxAbandoned);
    ~CBoundedLookup();
    CBoundedLookup(const CBoundedLookup&) = delete;
    CBoundedLookup& operator=(const CBoundedLookup&) = delete;

    // Runs fn with the time limit. Answered: answer holds its result (an exception of fn is
    // thrown again here). TimedOut, Refused, Cancelled: answer is left empty.
    Outcome run(const std::function<QString()>& fn, int timeoutMs, QString& answer);
    // Makes a running run() return Cancelled at once (its lookup is abandoned), and every
    // later run() as well.
    void cancel();

    int abandonedCount() const;
    void setMaxAbandoned(int count);

private:
    struct Worker;
    struct Shared;

    std::shared_ptr<Worker> startWorker();
    void abandonCurrent();

    std::shared_ptr<Shared> m_shared;
    std::shared_ptr<Worker> m_worker;   // the worker that takes the next lookup, or null
    std::thread m_thread;               // its thread
};
