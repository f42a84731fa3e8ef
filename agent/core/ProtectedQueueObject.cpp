#include "ProtectedQueueObject.h"

ProtectedQueueObject::ProtectedQueueObject(const QString& name, QObject* parent)
    : QObject(parent)
{
    setObjectName(name);
}

void ProtectedQueueObject::notifyNewItem()
{
    if (m_notify)
        emit newItem();
}

void ProtectedQueueObject::notifyStopped()
{
    if (m_notify)
        emit stopped();
}
