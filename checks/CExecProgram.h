#pragma once
// Runs one program or script for one poll: builds the command (directly, or through
// "/usr/bin/su" as another local user with every word POSIX-quoted), feeds its standard input,
// waits in steps of one second up to the time-out while asking the poll's still-alive test,
// collects standard output and standard error (each capped at kMaxOutputBytes, the rest is
// read and dropped so the child never blocks), and reads a performance value from the output.
// The child runs in its own process group; a time-out or a stop kills the whole group.
// One object per poll, on the poll's thread, used for one exec(); no locks.

#include "zam_plugin_api.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <sys/types.h>

class CExecProgram
{
public:
    enum ProgramMode { ModeStandard = 0, ModeNagios = 1 };
    enum Status { StatusCrashed = 1, StatusTimedOut = 2, StatusFinished = 5, StatusStarted = 6 };
    // Bytes kept of each of standard output and standard error.
    static constexpr int kMaxOutputBytes = 1024 * 1024;
    static constexpr const char* kSuPath = "/usr/bin/su";

    CExecProgram(ZamStillAliveCallback stillAlive, void* context, bool unused = false);
    virtual ~CExecProgram();
    CExecProgram(const CExecProgram&) = delete;
    CExecProgram& operator=(const CExecProgram&) = delete;

    void setLogin(const QString& user, const QString& password);
    void setNativeArguments(const QString& text) { m_nativeArguments = text; }
    void setProcessEnvironment(const QProcessEnvironment& environment);
    void setStdInData(const QByteArray& data) { m_stdInData = data; }

    // True when the child started and finished within the time-out; retCode() is then its exit
    // code. A working folder left empty becomes the folder of the program.
    virtual bool exec(const QString& program, const QStringList& arguments, int timeoutMs,
                      const QString& workingFolder);

    int retCode() const { return m_retCode; }
    bool startFailed() const { return m_startFailed; }
    QByteArray getError() const { return QByteArray(m_errorText.constData()); }
    QByteArray getStdOut() const { return m_stdOut; }
    QByteArray getStdErr() const { return m_stdErr; }
    // Output beyond kMaxOutputBytes was dropped.
    bool outputTruncated() const { return m_outTruncated || m_errTruncated; }
    int lastPerformance() const { return m_performance; }
    bool isTimeout() const { return m_status == StatusTimedOut; }
    int status() const { return m_status; }
    int stillAlive() const;
    // The program and arguments of the last start, as handed to the system.
    QString startedProgram() const { return m_startedProgram; }
    QStringList startedArguments() const { return m_startedArguments; }

    int64_t getPerfValue(int mode, double divisor, QString* text) const;
    int64_t getPerfValue_utf16(int mode, double divisor, QString* text) const;
    static int64_t getPerfValue_utf8(const QByteArray& bytes, int mode, double divisor, QString* text);
    static int64_t doGetPerfValue(const QString& output, int mode, double divisor, QString* text);

    // Every word quoted for a POSIX shell: wrapped in single quotes, a single quote inside
    // written as '\''. Nothing the words hold is run as shell code.
    static QString shellQuote(const QString& word);
    static QStringList create_args(const QStringList& arguments);

    // Waits for the started child; true on failure (time-out, stop request, crash).
    bool waitAndReadOutput(int timeoutMs);
    // Closes the pipes and kills and reaps a child that still runs.
    void cleanup();

private:
    QString userCommand(const QString& program, const QStringList& arguments, const QString& folder) const;
    bool startChild(const QString& folder);
    // Moves data between the pipes and the buffers until the child ends or `waitMs` passed;
    // true when the child has ended (reaped, exit status in m_waitStatus).
    bool pump(int waitMs);
    void drainOutput();
    void readPipe(int& fd, QByteArray& into, bool& truncated);
    void writeStdIn();
    void setError(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

    int m_retCode = -1;
    bool m_startFailed = false;
    ZamStillAliveCallback m_stillAlive;
    void* m_stillAliveContext;
    QString m_loginUser;
    QString m_loginPassword;
    bool m_userMode = false;
    QString m_nativeArguments;
    QByteArray m_errorText;
    QByteArray m_stdErr;
    QByteArray m_stdOut;
    int m_status = StatusFinished;
    QElapsedTimer m_timer;
    int m_performance = 0;
    QByteArray m_stdInData;
    QProcessEnvironment m_environment;
    bool m_environmentSet = false;

    // the running child
    pid_t m_pid = -1;
    int m_pidFd = -1;
    int m_inFd = -1;
    int m_outFd = -1;
    int m_errFd = -1;
    QByteArray m_pendingIn;
    int m_pendingInPos = 0;
    int m_waitStatus = 0;
    bool m_outTruncated = false;
    bool m_errTruncated = false;
    QString m_startedProgram;
    QStringList m_startedArguments;
};
