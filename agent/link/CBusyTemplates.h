#pragma once
#include <QReadWriteLock>
#include <QSet>

// Templates whose attachments are being checked or replaced; polls of their monitors are
// refused meanwhile. A set, not a counter: a template is busy from the first check that
// found files missing until a create for it has answered, however many checks came first.
// Threads: any; m_lock guards the set.
class CBusyTemplates
{
public:
    void markBusy(int templateId);
    // Answers false (and warns "template %1 was not busy") when it was not busy.
    bool release(int templateId);
    bool isBusy(int templateId) const;
    int count() const;

private:
    mutable QReadWriteLock m_lock;
    QSet<int> m_busy;
};
