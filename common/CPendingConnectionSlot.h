#pragma once
#include <QAtomicInt>
#include <QSharedPointer>

// One place in a server's bounded count of accepted connections that are not yet established.
// The count drops when the last holder of the slot lets it go (the accepted-connection info,
// then the connection once it is established, closed or destroyed).
class CPendingConnectionSlot
{
public:
    explicit CPendingConnectionSlot(QSharedPointer<QAtomicInt> counter) : m_counter(std::move(counter))
    {
        m_counter->ref();
    }
    ~CPendingConnectionSlot() { m_counter->deref(); }
    CPendingConnectionSlot(const CPendingConnectionSlot&) = delete;
    CPendingConnectionSlot& operator=(const CPendingConnectionSlot&) = delete;

private:
    QSharedPointer<QAtomicInt> m_counter;
};

using CPendingConnectionSlotPtr = QSharedPointer<CPendingConnectionSlot>;
