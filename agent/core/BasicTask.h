#pragma once
#include "ProtectedQueue.h"

#include <QExplicitlySharedDataPointer>
#include <QSharedData>
#include <type_traits>

// Posted tasks: implicitly shared records that one thread puts into another component's
// protected queue and that the owner's thread runs. The last holder frees the record.

// Kind name of a payload type: T::kindName() when T declares one, "<?>" otherwise. Plain
// payload types get theirs with ZAM_TASK_KIND_NAME (for example "CTaskPtr").
template <class T, class = void>
struct TaskKindName
{
    static const char* name() { return "<?>"; }
};
template <class T>
struct TaskKindName<T, std::void_t<decltype(T::kindName())>>
{
    static const char* name() { return T::kindName(); }
};

// An empty tag type whose name is the task's kind name, e.g. ZAM_TASK_KIND(SSendPollResultTask).
#define ZAM_TASK_KIND(Tag) \
    struct Tag { static const char* kindName() { return #Tag; } }
// Kind name of a plain payload type, at namespace scope: ZAM_TASK_KIND_NAME(CTaskThread*, "CTaskThread*").
#define ZAM_TASK_KIND_NAME(Type, Text) \
    template <> struct TaskKindName<Type, void> { static const char* name() { return Text; } }

// Payloads of one to four values followed by their kind tag.
template <class A, class Kind>
struct TaskData1
{
    A v1;
    static const char* kindName() { return TaskKindName<Kind>::name(); }
};
template <class A, class B, class Kind>
struct TaskData2
{
    A v1;
    B v2;
    static const char* kindName() { return TaskKindName<Kind>::name(); }
};
template <class A, class B, class C, class Kind>
struct TaskData3
{
    A v1;
    B v2;
    C v3;
    static const char* kindName() { return TaskKindName<Kind>::name(); }
};
template <class A, class B, class C, class D, class Kind>
struct TaskData4
{
    A v1;
    B v2;
    C v3;
    D v4;
    static const char* kindName() { return TaskKindName<Kind>::name(); }
};

// Base of every task an owner's thread runs.
template <class Owner>
class BasicTask : public QSharedData
{
public:
    virtual ~BasicTask() = default;
    virtual void exec() = 0;   // on the owner's thread
    virtual const char* kindName() const { return "<?>"; }
};

template <class Owner>
using BasicTaskPtr = QExplicitlySharedDataPointer<BasicTask<Owner>>;

// The target's handler for a payload: handleTask(Kind(), values...) for TaskDataN payloads,
// handleTask(payload) for a plain payload type.
template <class Target, class P>
void dispatchTask(Target* target, P& payload)
{
    target->handleTask(payload);
}
template <class Target, class A, class K>
void dispatchTask(Target* target, TaskData1<A, K>& p)
{
    target->handleTask(K(), p.v1);
}
template <class Target, class A, class B, class K>
void dispatchTask(Target* target, TaskData2<A, B, K>& p)
{
    target->handleTask(K(), p.v1, p.v2);
}
template <class Target, class A, class B, class C, class K>
void dispatchTask(Target* target, TaskData3<A, B, C, K>& p)
{
    target->handleTask(K(), p.v1, p.v2, p.v3);
}
template <class Target, class A, class B, class C, class D, class K>
void dispatchTask(Target* target, TaskData4<A, B, C, D, K>& p)
{
    target->handleTask(K(), p.v1, p.v2, p.v3, p.v4);
}

// A task that names its target object and carries a payload for the target's handler.
template <class Owner, class Target, class Payload>
class BridgeTask : public BasicTask<Owner>
{
public:
    BridgeTask(Target* target, const Payload& payload)
        : m_target(target)
        , m_payload(payload)
    {
    }
    void exec() override { dispatchTask(m_target, m_payload); }
    const char* kindName() const override { return TaskKindName<Payload>::name(); }

    Target* target() const { return m_target; }
    const Payload& payload() const { return m_payload; }

    // Builds the task and pushes it; false when the queue no longer accepts (task dropped).
    static bool post(ProtectedQueue<BasicTaskPtr<Owner>>& queue, Target* target, const Payload& payload,
                     bool toFront = false)
    {
        return queue.push(BasicTaskPtr<Owner>(new BridgeTask(target, payload)), toFront);
    }

private:
    Target* m_target;
    Payload m_payload;
};

// The consumer side of an owner's runStep: takes and runs tasks until the queue closes or
// the owner is told to stop (tasks taken after that are dropped unrun). Answers false, the
// runStep result that ends the step loop.
template <class Owner, class StopTest>
bool runPostedTasks(ProtectedQueue<BasicTaskPtr<Owner>>& queue, StopTest isStopping)
{
    for (;;) {
        BasicTaskPtr<Owner> task;
        if (queue.take(task) != ProtectedQueue<BasicTaskPtr<Owner>>::Taken)
            return false;
        if (isStopping())
            return false;
        task->exec();
    }
}
