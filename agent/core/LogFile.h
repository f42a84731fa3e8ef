#pragma once
#include <QString>
#include <QtGlobal>

// The daemon's log file. Every line goes through writeLogLine, which stamps it with the local
// time and the writing thread's id, copies it to stderr when logToStderr is set and appends
// it to the file. One log mutex serialises writers, so lines never interleave; each line is
// one write(2) on an O_APPEND descriptor.
//
// Rotation: suspendLogFile closes the file and keeps the log mutex, so every writer waits;
// resumeLogFile lets them go on and the next line reopens the file at its path. Both run on
// one thread (the signal worker), never inside a signal handler.

// Writes one line. last = true (fatal messages): uninstalls the Qt handler, closes the file
// and aborts the process.
void writeLogLine(const QString& text, bool last = false);
// The Qt message handler that feeds writeLogLine with a level prefix and the context suffix.
void qtMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message);
// The formatted line (time stamp, thread id, text, line end) without writing it.
QString formatLogLine(const QString& text);
// Current thread's id as the log shows it (lower-case hex, at least 4 digits).
QString logThreadId();

// logDir() + "/agent.log", computed on first call.
QString logFilePath();
// Callers of these two hold the log mutex (logMutexLock/Unlock or LogMutexLocker).
void openLogFile(const QString& path);
void closeLogFile();
bool isLogFileOpen();
void lockLogMutex();
void unlockLogMutex();

void suspendLogFile();   // SIGUSR1's effect; ignored while suspended
void resumeLogFile();    // SIGUSR2's effect; ignored while not suspended
bool isLogFileSuspended();

// Writes the text when logCategories() holds the category with a non-zero value.
void logIfEnabled(int category, const QString& text);
// Logs the text as a Qt warning.
void logWarning(const QString& text);
