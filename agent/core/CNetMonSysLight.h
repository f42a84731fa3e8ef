#pragma once
#include <QMutex>
#include <QString>
#include <QThread>
#include <QWaitCondition>

#include <cxxabi.h>

// Base of every long-lived component thread: a named QThread running the step protocol
// init -> runStep (while it answers true) -> shutdown. Every step runs inside a wrapper that
// logs an escaping exception ("%1: exception in %2: %3") and never lets it out.
// Threads: constructed and stopped by its owner on the owner's thread; the steps run on this
// thread. The stop flag is guarded by m_mutex.
class CNetMonSysLight : public QThread
{
    Q_OBJECT
public:
    CNetMonSysLight(QObject* parent, const QString& name);
    ~CNetMonSysLight() override;

    QString name() const;
    QString constructionName() const { return m_constructionName; }
    void setName(const QString& name);   // also the QObject object name (and the OS thread name)

    bool isStopping() const;
    void setStopFlag();
    // Sets the stop flag, then runs onStop as the step "stop" on the caller's thread.
    void stop();
    // Forces the thread down: onTerminate, QThread::terminate, at most 1000 ms of waiting.
    // A killed thread may leave a lock held, so the daemon's own stop never comes here: its
    // shutdown waits with deadlines, and task threads, the plug-in manager and the resolver
    // are abandoned, not killed. It stays for an owner that gives up on a thread running only
    // its own socket code (the control server's network thread, a UDP receiver thread).
    void terminateNow();

    virtual void terminateThread() = 0;

protected:
    void run() override;

    virtual bool init() = 0;
    virtual bool runStep() = 0;   // true: call again
    virtual void shutdown() = 0;
    virtual void onStop() = 0;    // wake the thread so that it sees the stop flag
    virtual void onTerminate() = 0;

    // Runs one step inside the exception wrapper; threw tells whether it escaped.
    template <class F>
    void guardedStep(const char* stepText, F&& step, bool& threw);
    bool guardedInit();
    // runStep with the wrapper; a throwing step answers true after a short back-off (so a
    // step that always throws neither spins nor floods the log), false once stopping.
    bool guardedRunStep();
    void guardedShutdown();
    // Waits up to ms or until the stop flag is set.
    void waitUnlessStopping(int ms);
    // Blocks until the stop flag is set.
    void waitForStop();

private:
    void logStepException(const char* stepText, const char* what);

    QString m_name;
    mutable QMutex m_mutex;
    QWaitCondition m_stopCond;
    bool m_stop = false;
    const QString m_constructionName;
};

// The forced-unwind catch binds a reference to an object-less exception, which the
// undefined-behaviour sanitizer reports although it is the compiler's documented idiom.
template <class F>
__attribute__((no_sanitize("undefined"))) void CNetMonSysLight::guardedStep(const char* stepText, F&& step, bool& threw)
{
    threw = false;
    try {
        step();
    } catch (abi::__forced_unwind&) {
        throw;   // thread cancellation (terminateNow) must unwind
    } catch (const std::exception& e) {
        threw = true;
        logStepException(stepText, e.what());
    } catch (...) {
        threw = true;
        logStepException(stepText, nullptr);
    }
}
