#pragma once

#include <QList>
#include <QMutex>
#include <QThread>

class QTimer;

// The library's maintenance thread: one Qt event loop on which periodic jobs run.
// Threads: threadStart/threadStop run on the thread that calls zam_plugin_init/term;
// addPeriodicJob may run on any thread. While the thread runs, the job timers and the job
// objects live on it; when its loop ends, it deletes the timers there and hands the job objects
// back to the thread that asked it to stop. m_mutex guards m_timers and m_objects.
class CTimerThread : public QThread
{
    Q_OBJECT
public:
    ~CTimerThread() override;

    static void threadStart();
    static void threadStop();
    static CTimerThread* instance();

    // `slot` in Qt's string form, such as "1doMaintenance()".
    void addPeriodicJob(int ms, QObject* object, const char* slot);
    // The maintenance interval: 60000 ms.
    static int maintenanceIntervalMs();

protected:
    void run() override;

private:
    CTimerThread() = default;

    QMutex m_mutex;
    QList<QTimer*> m_timers;
    QList<QObject*> m_objects;
    QThread* m_returnThread = nullptr;

    static CTimerThread* m_instance;
};

void timer_thread_start();
void timer_thread_stop();
