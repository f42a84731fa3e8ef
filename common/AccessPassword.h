#pragma once

#include <QSharedData>
#include <QSharedPointer>
#include <QString>

// The process-wide current access password. All state (the current password, the collected
// readiness flag and the shared crypt context record) is guarded by one function-static mutex.

// Nothing can derive from a class that derives virtually from CSealed<Itself>.
template<typename T>
class CSealed
{
    friend T;

private:
    CSealed() = default;
    CSealed(const CSealed&) = default;
};

struct SCryptContextRecord;

class AccessPassword : public virtual CSealed<AccessPassword>, public QSharedData
{
public:
    explicit AccessPassword(const QString& text);
    ~AccessPassword();
    AccessPassword(const AccessPassword&) = delete;
    AccessPassword& operator=(const AccessPassword&) = delete;

    const QString& text() const { return m_text; }
    // False while the crypt context is not ready (its state is 0, which nothing changes).
    bool isReady() const;

private:
    struct CryptContext;
    QString m_text;
    CryptContext* m_crypt;   // owned
};

// Makes the text the current password (unchanged when equal); returns its readiness, which is
// also ORed into the process-wide flag. Setting the same text again returns true.
bool setCurrentPassword(const QString& text);
// The current password, or null before any setCurrentPassword.
QSharedPointer<AccessPassword> currentPassword();
// Drops the current password and the shared context record.
void releaseCurrentPassword();
// True when the shared context record is ready; else throws std::runtime_error
// "Failed to initialize the security subsystem: error <strerror(errno)>".
bool checkSecurityReady();
