#pragma once
#include "CTask.h"

#include <functional>

// Resolves a host name or address for a resolve request of the central service on a task
// thread and hands the answer to the agent manager. Threads: exec and done on the task thread.
class CSyncResolveTask : public CTask
{
public:
    CSyncResolveTask(int linkValue, int requestId, bool addressFlag, const QString& text, const QString& previousAnswer);

    void exec(CTaskThread* thread) override;
    void done(CTaskThread* thread) override;
    bool isDeadlocked(int seconds) override { return seconds > 60; }

    QString result() const { return m_result; }
    // Whether done sends anything for this answer.
    bool shouldReport() const;

    // Where done reports (default: the root's agent manager).
    using ResponseSink = std::function<void(int linkValue, int requestId, bool addressFlag, const QString& text,
                                            const QString& result)>;
    static void setResponseSink(const ResponseSink& sink);

private:
    const int m_linkValue;
    const int m_requestId;
    const bool m_addressFlag;
    const QString m_text;
    const QString m_previousAnswer;
    QString m_result;
};
