#include "CLinkPoll.h"

#include <QMutexLocker>

CLinkPoll::CLinkPoll(ILinkPollSink* sink, int linkId, int transactionId, const SLinkPollRequest& request)
    : m_sink(sink), m_linkId(linkId), m_transactionId(transactionId), m_request(request)
{
}

void CLinkPoll::complete(const SPollOutcome& outcome)
{
    {
        QMutexLocker locker(&m_mutex);
        if (m_completed.load())
            return;
        m_outcome = outcome;
        m_completed = true;
    }
    if (m_sink)
        m_sink->sendPollResult(CLinkPollPtr(this));
}

SPollOutcome CLinkPoll::outcome() const
{
    QMutexLocker locker(&m_mutex);
    return m_outcome;
}

SPollOutcome CLinkPoll::refusal(int result, const QByteArray& reason)
{
    SPollOutcome o;
    o.status = 3;
    o.result = result;
    o.failReason = reason;
    return o;
}
