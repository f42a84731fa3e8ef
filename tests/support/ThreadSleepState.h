#pragma once
// Whether another thread of this process sleeps in the kernel, read from /proc. A thread that
// announced it goes to a lock or a wait and then sleeps is blocked there: a test can show
// that it stays out without a timed pause.
#include <QByteArray>
#include <QFile>

#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

// The calling thread's kernel id, for threadSleeps.
inline pid_t currentThreadId()
{
    return static_cast<pid_t>(::syscall(SYS_gettid));
}

// True while the thread is in state S (interruptible sleep: futex waits, poll, ...).
inline bool threadSleeps(pid_t tid)
{
    QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    // "tid (name) S ...": the name may hold spaces and parentheses, the state follows the last ')'.
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    return close >= 0 && line.mid(close + 2, 1) == "S";
}
