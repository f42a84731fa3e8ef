#pragma once
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>

// A named mutex of this process only (there is no system-wide object). The name gets the
// prefix "Global\" unless it already starts with "Global\" or "Local\". Locking again on the
// thread that holds it answers at once; unlocking releases only a held mutex.
class CNamedMutex
{
public:
    explicit CNamedMutex(const QString& name);

    QString name() const { return m_name; }
    bool isInitialized() const { return m_initialized; }
    void lock();
    void unlock();
    bool isHeld() const;

private:
    QString m_name;
    bool m_initialized = false;
    std::mutex m_mutex;
    std::atomic<std::thread::id> m_holder{};
};

// Locks on construction, unlocks on destruction.
class CNamedMutexLocker
{
public:
    explicit CNamedMutexLocker(CNamedMutex& mutex)
        : m_mutex(mutex)
    {
        m_mutex.lock();
    }
    ~CNamedMutexLocker() { m_mutex.unlock(); }
    CNamedMutexLocker(const CNamedMutexLocker&) = delete;
    CNamedMutexLocker& operator=(const CNamedMutexLocker&) = delete;

private:
    CNamedMutex& m_mutex;
};
