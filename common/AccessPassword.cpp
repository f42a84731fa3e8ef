#include "AccessPassword.h"

#include <QMutex>

#include <cerrno>
#include <cstring>
#include <stdexcept>

struct SCryptContextRecord
{
    int refCount = 0;
    int ready = 0;
};

namespace {

QMutex& passwordMutex()
{
    static QMutex m;
    return m;
}

// Everything below is guarded by passwordMutex().
SCryptContextRecord* g_context = nullptr;
QSharedPointer<AccessPassword> g_current;
bool g_readyFlag = false;

SCryptContextRecord* acquireContextLocked()
{
    if (!g_context)
        g_context = new SCryptContextRecord;
    ++g_context->refCount;
    return g_context;
}

void releaseContextLocked(SCryptContextRecord* record)
{
    if (!record)
        return;
    if (--record->refCount <= 0) {
        if (record == g_context)
            g_context = nullptr;
        delete record;
    }
}

} // namespace

struct AccessPassword::CryptContext
{
    SCryptContextRecord* record = nullptr;
    int state = 0;
};

// Constructed and destroyed with passwordMutex() held (see setCurrentPassword and
// releaseCurrentPassword), as it touches the shared context record.
AccessPassword::AccessPassword(const QString& text) : m_text(text), m_crypt(new CryptContext)
{
    m_crypt->record = acquireContextLocked();
}

AccessPassword::~AccessPassword()
{
    releaseContextLocked(m_crypt->record);
    delete m_crypt;
}

bool AccessPassword::isReady() const
{
    return m_crypt && m_crypt->state != 0;
}

bool setCurrentPassword(const QString& text)
{
    QMutexLocker lock(&passwordMutex());
    if (g_current && g_current->text() == text)
        return true;
    // The old password may still be held elsewhere; its destructor then runs outside the
    // mutex, so the record count is only touched here under the lock.
    QSharedPointer<AccessPassword> next(new AccessPassword(text), [](AccessPassword* p) {
        QMutexLocker inner(&passwordMutex());
        delete p;
    });
    QSharedPointer<AccessPassword> old = g_current;
    g_current = next;
    const bool ready = next->isReady();
    g_readyFlag = g_readyFlag || ready;
    lock.unlock();
    old.reset();   // its deleter takes the mutex itself
    return ready;
}

QSharedPointer<AccessPassword> currentPassword()
{
    QMutexLocker lock(&passwordMutex());
    return g_current;
}

void releaseCurrentPassword()
{
    QMutexLocker lock(&passwordMutex());
    QSharedPointer<AccessPassword> old = g_current;
    g_current.reset();
    lock.unlock();
    old.reset();
}

bool checkSecurityReady()
{
    const int err = errno;
    QMutexLocker lock(&passwordMutex());
    SCryptContextRecord* record = acquireContextLocked();
    const bool ready = record->ready != 0;
    releaseContextLocked(record);
    if (!ready)
        throw std::runtime_error(QStringLiteral("%1: error %2")
                                     .arg(QStringLiteral("Failed to initialize the security subsystem"),
                                          QString::fromLocal8Bit(std::strerror(err)))
                                     .toStdString());
    return true;
}
