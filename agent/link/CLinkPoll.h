#pragma once
#include "SPollOutcome.h"

#include <QByteArray>
#include <QExplicitlySharedDataPointer>
#include <QMutex>
#include <QSharedData>
#include <atomic>

class CLinkPoll;
using CLinkPollPtr = QExplicitlySharedDataPointer<CLinkPoll>;

// Where a finished poll goes: the agent manager, which hands it to the session that asked.
class ILinkPollSink
{
public:
    virtual ~ILinkPollSink() = default;
    // Any thread. Answers true when the result was not sent (no such session any more).
    virtual bool sendPollResult(const CLinkPollPtr& poll) = 0;
};

// What the service asked for in one poll request (types 5 and 6).
struct SLinkPollRequest
{
    enum Kind { ById = 6, WithSettings = 5 };
    Kind kind = ById;
    int monitorId = 0;          // type 6 only; for type 5 the engine reads it from the record
    QByteArray monitorData;     // type 5: the monitor record stream (version 7)
    bool hasTemplateId = false;
    int templateId = 0;
};

// One open poll transaction of one session. The session keeps it in its transactions until
// it answers it; the engine keeps it with the task that runs the poll and calls complete()
// once. A result is only ever sent on the session that started the poll and only for this
// very object, so a late result can never answer another session's (or a reused) id.
// Threads: created on the link thread; complete() and outcome() from any thread (the
// outcome is guarded by m_mutex); identity fields are fixed at construction.
class CLinkPoll : public QSharedData
{
public:
    CLinkPoll(ILinkPollSink* sink, int linkId, int transactionId, const SLinkPollRequest& request);

    int linkId() const { return m_linkId; }
    int transactionId() const { return m_transactionId; }
    const SLinkPollRequest& request() const { return m_request; }

    // The engine's done step: stores the outcome and sends it to the session. Only the
    // first call counts; later ones are ignored.
    void complete(const SPollOutcome& outcome);
    bool isCompleted() const { return m_completed.load(); }
    SPollOutcome outcome() const;

    // Set by the session when the service aborts the transaction; the engine may ask it
    // between steps to stop early.
    void requestAbort() { m_abortRequested = true; }
    bool isAbortRequested() const { return m_abortRequested.load(); }

    // An outcome that answers a request at once: status 3, the result word and the reason.
    static SPollOutcome refusal(int result, const QByteArray& reason);

private:
    ILinkPollSink* const m_sink;   // not owned; outlives every poll (the agent manager)
    const int m_linkId;
    const int m_transactionId;
    const SLinkPollRequest m_request;
    mutable QMutex m_mutex;
    SPollOutcome m_outcome;
    std::atomic<bool> m_completed{false};
    std::atomic<bool> m_abortRequested{false};
};
