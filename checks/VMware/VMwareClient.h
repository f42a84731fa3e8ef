#pragma once
// Client of an ESXi server's SOAP web service for one VMware monitor: opens a session (service
// content, then login with a cookie), lists managed objects through a container view and a
// property filter, reads properties of one object and the latest sample of one performance
// counter, and turns a metric index into its value. Every exchange is bounded by 30 s (scaled
// for tests) and clears the previous error; each failure leaves its own reason in getError().
// A client that is dropped while logged in, whose server answered last, logs out first within
// 5 s and what is left of the bound poll's time.
// Threads: used by one thread at a time; successive polls may run on different task threads
// (nothing here is bound to a thread). No locks.
// Ownership: the monitor's plug-in data slot owns the client; the monitor record is bound only
// for the poll that uses it (setMonitor ... detach).

#include "CTimeWatcher.h"
#include "VMwareObject.h"
#include "VMwareSoapReader.h"
#include "VMwareTransport.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct stZamMonitor;

class VMwareClient
{
public:
    static constexpr int kExchangeLimitMs = 30000;
    static constexpr int kLogoutLimitMs = 5000;

    VMwareClient();
    ~VMwareClient();
    VMwareClient(const VMwareClient&) = delete;
    VMwareClient& operator=(const VMwareClient&) = delete;

    // Binds the polled monitor: log lines go out in its name, its still-alive test can end an
    // exchange, and its time-out starts the poll's budget.
    void setMonitor(stZamMonitor* mon);
    void detach();
    bool isBoundTo(const stZamMonitor* mon) const { return m_monitor == mon; }
    void log(const QString& text) const;

    QString getError() const { return m_error; }
    void setObject(const VMwareObject& object) { m_object = object; }
    const VMwareObject& object() const { return m_object; }
    QString hypervisorSystemId() const { return m_hypervisorSystemId; }
    bool isLoggedIn() const { return m_loggedIn; }

    // Service content, then login. Fails with "not connected to ESXi Server" or
    // "incorrect credentials" (the underlying reason goes to the log).
    bool connectToServer(const QString& host, const QString& user, const QString& password);
    // Ends the session when logged in and the server answered last; at most 5 s.
    bool logout();

    bool getObjectList(VMwareObjectType type, QList<VMwareObject>& objects);
    bool getVirtualMachineObjects(QList<VMwareObject>& objects);
    bool getHostObject(VMwareObject& host);
    bool initHypervisorSystemId();
    // The datastores of the host found by initHypervisorSystemId.
    bool getDatastoreObjects(QList<VMwareObject>& objects);
    bool getVirtualMachineState(const VMwareObject& machine, QString& state);

    bool retrieveProperties(VMwareObjectType type, const QString& id, const QString& path, const QString& element,
                            QStringList& values);
    bool retrieveProperties(const QString& path, const QString& element, QStringList& values);
    bool queryPerformance(const QString& counterId, qint64& value);

    // The raw value of a metric of the current object; false with the reason in getError().
    bool getResult(int metric, int unit, qint64& value);
    bool getResult(int metric, qint64& value) { return getResult(metric, 0, value); }

private:
    // One HTTP exchange: true with the answer (a 2xx body, or a fault of any status).
    bool send(const QByteArray& request, QByteArray& response, int limitMs);
    bool send(const QByteArray& request, QByteArray& response);
    // The traced form: "set request", the request as logged, "send request", the exchange.
    bool sendLogged(const QByteArray& request, const QByteArray& logged, QByteArray& response);
    // Turns a reader's fault or malformed verdict into the error; true for Ok.
    bool accept(VMwareSoapReader::Status status, const QString& faultText);
    bool initServiceObject();
    bool authorization(const QString& user, const QString& password);
    bool guestDiskSum(const QString& element, qint64& sum);
    bool firstNumber(const QStringList& texts, qint64& value);
    bool toNumber(const QString& text, qint64& value);
    int exchangeLimit() const;

    VMwareObject m_object;
    QString m_rootFolder, m_sessionManager, m_viewManager, m_perfManager, m_propertyCollector;
    bool m_filterCreated = false;
    QString m_host;
    QString m_hypervisorSystemId;
    QString m_error;
    bool m_loggedIn = false;
    bool m_answered = false;  // the last exchange got an HTTP answer
    stZamMonitor* m_monitor = nullptr;
    CTimeWatcher m_budget;
    VMwareTransport m_transport;
};
