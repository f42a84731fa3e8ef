#include "CBoundedLookup.h"

#include <atomic>
#include <chrono>

// State the caller and all workers share; outlives this object while workers remain.
struct CBoundedLookup::Shared
{
    std::atomic<int> abandoned{0};
    std::atomic<int> maxAbandoned{0};
    std::mutex mutex;
    std::condition_variable cond;   // a worker answered, or cancel()
    bool cancelled = false;
};

// One worker's mailbox, guarded by Shared::mutex.
struct CBoundedLookup::Worker
{
    std::function<QString()> job;
    bool hasJob = false;
    bool done = false;
    bool quit = false;
    bool abandoned = false;
    QString answer;
    std::exception_ptr error;
    std::condition_variable wake;   // a job or quit arrived
};


CBoundedLookup::CBoundedLookup(int maxAbandoned)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->maxAbandoned = maxAbandoned;
}

CBoundedLookup::~CBoundedLookup()
{
    if (!m_worker)
        return;
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_worker->quit = true;
        m_worker->wake.notify_all();
    }
    // The current worker is idle (run() has returned), so it ends at once.
    m_thread.join();
}

int CBoundedLookup::abandonedCount() const
{
    return m_shared->abandoned.load();
}

void CBoundedLookup::setMaxAbandoned(int count)
{
    m_shared->maxAbandoned = count;
}

void CBoundedLookup::cancel()
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->cancelled = true;
    m_shared->cond.notify_all();
}

std::shared_ptr<CBoundedLookup::Worker> CBoundedLookup::startWorker()
{
    auto worker = std::make_shared<Worker>();
    std::shared_ptr<Shared> shared = m_shared;
    m_thread = std::thread([shared, worker] {
        std::unique_lock<std::mutex> lock(shared->mutex);
        for (;;) {
            worker->wake.wait(lock, [&] { return worker->quit || worker->hasJob; });
            if (worker->quit && !worker->hasJob)
                return;
            std::function<QString()> job = std::move(worker->job);
            worker->hasJob = false;
            lock.unlock();
            QString answer;
            std::exception_ptr error;
            try {
                answer = job();
            } catch (...) {
                error = std::current_exception();
            }
            job = nullptr;
            lock.lock();
            if (worker->abandoned) {
                // Nobody waits for this answer any more: end and free the slot.
                shared->abandoned.fetch_sub(1);
                return;
            }
            worker->answer = answer;
            worker->error = error;
            worker->done = true;
            shared->cond.notify_all();
        }
    });
    return worker;
}

void CBoundedLookup::abandonCurrent()
{
    // Caller holds m_shared->mutex.
    m_worker->abandoned = true;
    m_shared->abandoned.fetch_add(1);
    m_thread.detach();
    m_worker.reset();
}

CBoundedLookup::Outcome CBoundedLookup::run(const std::function<QString()>& fn, int timeoutMs, QString& answer)
{
    answer.clear();
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        if (m_shared->cancelled)
            return Cancelled;
    }
    if (!m_worker) {
        if (m_shared->abandoned.load() >= m_shared->maxAbandoned.load())
            return Refused;
        m_worker = startWorker();
    }

    std::unique_lock<std::mutex> lock(m_shared->mutex);
    m_worker->job = fn;
    m_worker->hasJob = true;
    m_worker->done = false;
    m_worker->wake.notify_all();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    const bool finished = m_shared->cond.wait_until(lock, deadline, [&] { return m_worker->done || m_shared->cancelled; });
    if (finished && m_worker->done) {
        m_worker->done = false;
        answer = m_worker->answer;
        std::exception_ptr error = m_worker->error;
        m_worker->answer.clear();
        m_worker->error = nullptr;
        lock.unlock();
        if (error)
            std::rethrow_exception(error);
        return Answered;
    }
    const bool cancelled = m_shared->cancelled;
    abandonCurrent();
    return cancelled ? Cancelled : TimedOut;
}
