#pragma once
#include <QExplicitlySharedDataPointer>
#include <QSharedData>
#include <QString>

// A unit of work run by a task thread. Reference counted (atomic); held through CTaskPtr and
// deleted by the last holder. The name is fixed at construction and read from any thread.
class CTask : public QSharedData
{
public:
    explicit CTask(const QString& name) : m_name(name) {}
    virtual ~CTask() = default;

    QString name() const { return m_name; }

private:
    const QString m_name;
};

using CTaskPtr = QExplicitlySharedDataPointer<CTask>;
