#pragma once
#include <QString>
#include <cstring>

// A 128-byte pattern (byte i holds i) placed on the calling thread's stack around one call into
// the checks library and checked when the guard goes out of scope, also while an exception
// passes. A damaged pattern gives one warning "stack damage detected in %1" and nothing else.
// The label text is built only when damage is found, so an intact call allocates nothing.
// Threads: a local object of the calling thread.
class CPluginStackGuard
{
public:
    static constexpr int kSize = 128;

    // label is a fixed text or a format whose %1 is filled with *arg.
    explicit CPluginStackGuard(const char* label, const QString* arg = nullptr)
        : m_label(label)
        , m_arg(arg)
    {
        std::memcpy(m_pattern, referencePattern(), kSize);
        // The pattern must really lie in memory while the call runs.
        asm volatile("" : : "r"(m_pattern) : "memory");
    }
    ~CPluginStackGuard()
    {
        asm volatile("" : : "r"(m_pattern) : "memory");
        if (std::memcmp(m_pattern, referencePattern(), kSize) != 0)
            reportDamage();
    }
    CPluginStackGuard(const CPluginStackGuard&) = delete;
    CPluginStackGuard& operator=(const CPluginStackGuard&) = delete;

    QString labelText() const;
    static const unsigned char* referencePattern();

private:
    void reportDamage() const;

    const char* m_label;
    const QString* m_arg;
    unsigned char m_pattern[kSize];
};
