#include "CRelayPeerLookup.h"

#include "common/WebUtils.h"

#include <QMetaObject>

CRelayPeerLookup::CRelayPeerLookup(AnswerFn answer, int timeoutMs)
    : m_answer(std::move(answer)), m_timeoutMs(timeoutMs)
{
}

CRelayPeerLookup::~CRelayPeerLookup()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_lookup.cancel();   // a lookup in progress returns at once; its system call is abandoned
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

quint64 CRelayPeerLookup::lookup(const QString& host)
{
    const quint64 ticket = ++m_lastTicket;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pendingHost = host;
        m_pendingTicket = ticket;
    }
    if (!m_thread.joinable())
        m_thread = std::thread([this] { serve(); });
    m_wake.notify_all();
    return ticket;
}

void CRelayPeerLookup::serve()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_pendingTicket != 0; });
        if (m_stop)
            return;
        const quint64 ticket = m_pendingTicket;
        const QString host = m_pendingHost;
        m_pendingTicket = 0;
        lock.unlock();
        resolveOne(ticket, host);
        lock.lock();
    }
}

void CRelayPeerLookup::resolveOne(quint64 ticket, const QString& host)
{
    QString answer;
    QString error;
    // The worker may outlive this object: it gets the name by value and returns text only.
    CBoundedLookup::Outcome outcome = CBoundedLookup::Refused;
    try {
        outcome = m_lookup.run(
        [host] {
            bool isAddress = false;
            QByteArray ignored;
            const QHostAddress address = WebUtils::getOrResolveFirstAddr(host, isAddress, ignored);
            return address.isNull() ? QString() : address.toString();
        },
        m_timeoutMs, answer);
    } catch (...) {
        error = QStringLiteral("lookup failed");
    }
    switch (outcome) {
    case CBoundedLookup::Answered:
        if (answer.isEmpty())
            error = QStringLiteral("no address found");
        break;
    case CBoundedLookup::TimedOut:
        error = QStringLiteral("lookup timed out after %1 ms").arg(m_timeoutMs);
        break;
    case CBoundedLookup::Refused:
        if (error.isEmpty())
            error = QStringLiteral("too many lookups hang already");
        break;
    case CBoundedLookup::Cancelled:
        return;   // the owner is going away
    }
    const QHostAddress address(answer);
    QMetaObject::invokeMethod(
        &m_receiver, [this, ticket, address, error] { m_answer(ticket, address, error); }, Qt::QueuedConnection);
}
