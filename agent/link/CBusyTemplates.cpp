#include "CBusyTemplates.h"

#include <QDebug>

void CBusyTemplates::markBusy(int templateId)
{
    QWriteLocker locker(&m_lock);
    m_busy.insert(templateId);
}

bool CBusyTemplates::release(int templateId)
{
    bool removed = false;
    {
        QWriteLocker locker(&m_lock);
        removed = m_busy.remove(templateId);
    }
    if (!removed)
        qWarning().noquote() << QStringLiteral("template %1 was not busy").arg(templateId);
    return removed;
}

bool CBusyTemplates::isBusy(int templateId) const
{
    QReadLocker locker(&m_lock);
    return m_busy.contains(templateId);
}

int CBusyTemplates::count() const
{
    QReadLocker locker(&m_lock);
    return m_busy.size();
}
