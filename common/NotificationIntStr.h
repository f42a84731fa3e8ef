#pragma once
#include "NotificationBase.h"

#include <QList>
#include <QStringList>

// Int+string notification (type 1): a code, a list of 32-bit integers and a list of strings
// (null strings kept apart from empty ones).
class NotificationIntStr : public NotificationBase
{
public:
    NotificationIntStr(qint32 code, const QList<qint32>& integers, const QStringList& strings);
    // Reads the payload up to its end: counts are trusted only as far as the payload holds
    // complete entries, so the lists keep what was complete and the reading stops there.
    NotificationIntStr(const char* payload, int size);
    explicit NotificationIntStr(const QByteArray& payload);

    qint32 code() const { return m_code; }
    const QList<qint32>& integers() const { return m_integers; }
    const QStringList& strings() const { return m_strings; }

    void dispatchTo(NotificationParser& parser) const override;
    QString toString() const override;
    QByteArray serialize() const override;

private:
    qint32 m_code = 0;
    QList<qint32> m_integers;
    QStringList m_strings;
};
