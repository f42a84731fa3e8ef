#pragma once
// Failure text of a check's helper object, written into the caller's buffer (normally a
// monitor's 1024-byte failure reason, cut to fit) or, without one, into storage that grows as
// needed. Embedded in its owner; one thread.

#include <cstdarg>
#include <cstdint>

class CFailReason
{
public:
    enum : uint32_t {
        Owned = 0x1,      // the buffer is a heap allocation of ours
        Collecting = 0x2, // setReason stores texts
        HasText = 0x4,    // a text was set
    };

    CFailReason(char* buffer = nullptr, unsigned size = 0);
    ~CFailReason();
    CFailReason(const CFailReason&) = delete;
    CFailReason& operator=(const CFailReason&) = delete;

    // Points at a new buffer (null or 0: inner storage) and clears it.
    void reset(char* buffer, unsigned size);

    int setReason(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    int setReasonV(const char* fmt, va_list args);

    // While frozen, setReason keeps the current text (a clean-up after a failure must not
    // overwrite the reason of that failure).
    void freeze(bool frozen);
    bool frozen() const { return !(m_flags & Collecting); }

    const char* text() const { return m_buffer; }
    bool hasText() const { return (m_flags & HasText) && m_buffer[0] != '\0'; }
    void clear();

private:
    void release();

    char* m_buffer;
    char m_inline[4];
    unsigned m_size;
    uint32_t m_flags;
};
