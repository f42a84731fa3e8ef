#include "CFailReason.h"

#include "zam_monitor_helpers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

CFailReason::CFailReason(char* buffer, unsigned size) : m_buffer(m_inline), m_inline{}, m_size(4), m_flags(Collecting)
{
    reset(buffer, size);
}

CFailReason::~CFailReason()
{
    release();
}

void CFailReason::release()
{
    if (m_flags & Owned)
        std::free(m_buffer);
    m_flags &= ~Owned;
    m_buffer = m_inline;
    m_size = sizeof m_inline;
}

void CFailReason::reset(char* buffer, unsigned size)
{
    release();
    if (buffer && size) {
        m_buffer = buffer;
        m_size = size;
    }
    m_buffer[0] = '\0';
    m_flags = Collecting;
}

void CFailReason::clear()
{
    m_buffer[0] = '\0';
    m_flags &= ~HasText;
}

void CFailReason::freeze(bool frozen)
{
    if (frozen)
        m_flags &= ~Collecting;
    else
        m_flags |= Collecting;
}

int CFailReason::setReason(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    setReasonV(fmt, args);
    va_end(args);
    return 0;
}

int CFailReason::setReasonV(const char* fmt, va_list args)
{
    if (!(m_flags & Collecting) || !fmt)
        return 0;
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n < 0)
        return 0;
    const bool callers = m_buffer != m_inline && !(m_flags & Owned);
    if (static_cast<unsigned>(n) < m_size) {
        std::vsnprintf(m_buffer, m_size, fmt, args);
    } else if (callers) {
        // the caller's buffer is fixed: cut without splitting a UTF-8 character
        setFailReasonArgs(m_buffer, static_cast<int>(m_size), fmt, args);
    } else {
        char* grown = static_cast<char*>(std::malloc(static_cast<size_t>(n) + 1));
        if (!grown)
            return 0;
        std::vsnprintf(grown, static_cast<size_t>(n) + 1, fmt, args);
        release();
        m_buffer = grown;
        m_size = static_cast<unsigned>(n) + 1;
        m_flags |= Owned;
    }
    m_flags |= HasText;
    return 0;
}
