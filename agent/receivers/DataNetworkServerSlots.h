#pragma once
#include <QObject>
#include <QString>

// The Qt face of a network server: the error slot every receiver connects to. The concrete
// slots classes add the data slot for their message record.
// Threads: lives on the connector thread.
class DataNetworkServerSlots : public QObject
{
    Q_OBJECT
public:
    explicit DataNetworkServerSlots(QObject* parent = nullptr) : QObject(parent) {}

public slots:
    virtual void onError(const QString& text) = 0;
};
