#include "CNamedMutex.h"

CNamedMutex::CNamedMutex(const QString& name)
    : m_name(name.startsWith(QLatin1String("Global\\")) || name.startsWith(QLatin1String("Local\\"))
                 ? name
                 : QStringLiteral("Global\\") + name)
    , m_initialized(true)
{
}

void CNamedMutex::lock()
{
    if (m_holder.load() == std::this_thread::get_id())
        return;
    m_mutex.lock();
    m_holder.store(std::this_thread::get_id());
}

void CNamedMutex::unlock()
{
    if (m_holder.load() != std::this_thread::get_id())
        return;
    m_holder.store(std::thread::id());
    m_mutex.unlock();
}

bool CNamedMutex::isHeld() const
{
    return m_holder.load() != std::thread::id();
}
