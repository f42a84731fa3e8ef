#pragma once
#include <QDeadlineTimer>

#include <memory>

// Holds one helper thread of a component (the task manager's scheduler, plug-in manager and
// resolver) and ends it one way: stop, join by a deadline, delete. A thread still running at
// the deadline is released on purpose and stays for the rest of the process: deleting a
// running QThread aborts, and killing it could leave a lock held for everybody else. The
// owner may also release a joined thread (the plug-in manager while a task thread is still
// inside the library it would unload).
// Threads: used on the owning component's thread only (its init, shutdown or terminate) and
// in its destructor; the helper runs on its own thread. T has stop() and wait(QDeadlineTimer).
template <class T>
class OwnedHelperThread
{
public:
    enum class AfterJoin { Delete, Release };

    OwnedHelperThread() = default;
    OwnedHelperThread(const OwnedHelperThread&) = delete;
    OwnedHelperThread& operator=(const OwnedHelperThread&) = delete;
    // A helper left over (its component never shut down) gets the short deadline.
    ~OwnedHelperThread() { stop(QDeadlineTimer(kLeftOverWaitMs)); }

    void reset(T* thread)
    {
        stop(QDeadlineTimer(kLeftOverWaitMs));
        m_thread.reset(thread);
    }
    T* get() const { return m_thread.get(); }
    T* operator->() const { return m_thread.get(); }
    explicit operator bool() const { return m_thread != nullptr; }

    // Stops the thread and joins it by the deadline. Answers false when it was still running
    // (released); the owner holds nothing afterwards in either case.
    bool stop(QDeadlineTimer deadline, AfterJoin afterJoin = AfterJoin::Delete)
    {
        if (!m_thread)
            return true;
        m_thread->stop();
        const bool joined = m_thread->wait(deadline);
        if (joined && afterJoin == AfterJoin::Delete)
            m_thread.reset();
        else
            (void)m_thread.release();
        return joined;
    }

private:
    static constexpr int kLeftOverWaitMs = 1000;
    std::unique_ptr<T> m_thread;
};
