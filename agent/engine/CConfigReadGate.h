#pragma once
#include <QMutex>
#include <QWaitCondition>

// The configuration store's read gate: many readers share it, a writer (a task on the
// configuration manager's thread) waits until no reader is inside and keeps readers out while
// it runs. A waiting writer also keeps new readers out, so a steady stream of readers cannot
// starve it. Not re-entrant: a reader must not read again, and a task must not read.
// Threads: readers on any thread; writers on the configuration manager's thread. All counts
// are guarded by m_mutex.
class CConfigReadGate
{
public:
    void beginRead();
    void endRead();

    // Writer side, bracketing one task.
    void beginWrite();
    void endWrite();

    qint64 readers() const;
    qint64 waitingWriters() const;
    qint64 waitingReaders() const;

private:
    mutable QMutex m_mutex;
    QWaitCondition m_readersCond;   // readers wait here while a writer is inside or waiting
    QWaitCondition m_writersCond;   // a writer waits here for the readers to leave
    qint64 m_readers = 0;
    qint64 m_writers = 0;
    qint64 m_waitingWriters = 0;
    qint64 m_waitingReaders = 0;
};

// Holds a read of the gate for a scope.
class CConfigReadLocker
{
public:
    explicit CConfigReadLocker(CConfigReadGate& gate) : m_gate(gate) { m_gate.beginRead(); }
    ~CConfigReadLocker() { m_gate.endRead(); }
    CConfigReadLocker(const CConfigReadLocker&) = delete;
    CConfigReadLocker& operator=(const CConfigReadLocker&) = delete;

private:
    CConfigReadGate& m_gate;
};
