#include "CConfigReadGate.h"

#include <QMutexLocker>

void CConfigReadGate::beginRead()
{
    QMutexLocker locker(&m_mutex);
    ++m_waitingReaders;
    while (m_writers > 0 || m_waitingWriters > 0) {
        m_writersCond.wakeAll();
        m_readersCond.wait(&m_mutex);
    }
    --m_waitingReaders;
    ++m_readers;
}

void CConfigReadGate::endRead()
{
    QMutexLocker locker(&m_mutex);
    if (--m_readers == 0)
        m_writersCond.wakeAll();
}

void CConfigReadGate::beginWrite()
{
    QMutexLocker locker(&m_mutex);
    ++m_waitingWriters;
    while (m_readers > 0 || m_writers > 0)
        m_writersCond.wait(&m_mutex);
    --m_waitingWriters;
    ++m_writers;
}

void CConfigReadGate::endWrite()
{
    QMutexLocker locker(&m_mutex);
    --m_writers;
    m_writersCond.wakeAll();
    m_readersCond.wakeAll();
}

qint64 CConfigReadGate::readers() const
{
    QMutexLocker locker(&m_mutex);
    return m_readers;
}

qint64 CConfigReadGate::waitingWriters() const
{
    QMutexLocker locker(&m_mutex);
    return m_waitingWriters;
}

qint64 CConfigReadGate::waitingReaders() const
{
    QMutexLocker locker(&m_mutex);
    return m_waitingReaders;
}
