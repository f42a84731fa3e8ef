#pragma once
// One run of the init script "DaemonInitialization.sh" with one option, and the integer it
// prints. Every run is bounded: a script that cannot start, crashes or outlives its time-out
// is an error with its reason, never an answer. Any thread; no shared state.

#include <QString>

// Time-outs per option, generous on purpose: "-stop" waits for the daemon's own shutdown
// (at most 27 s plus one more second) and the script's margin on top of it.
namespace initscript {
constexpr int kStatusTimeoutMs = 15000;
constexpr int kStartTimeoutMs = 60000;
constexpr int kStopTimeoutMs = 90000;
constexpr int kAutostartTimeoutMs = 30000;
} // namespace initscript

struct InitScriptResult
{
    bool ran = false; // the script ran to its end
    int answer = 0;   // the integer it printed; 0 for no or other output
    QByteArray output; // what it printed
    QString error;    // why it did not run to its end (ran == false)
};

// The script beside the running program.
QString defaultInitScriptPath();

// The integer of the script's output: white space around one decimal number; else 0.
int parseInitScriptAnswer(const QByteArray& output);

InitScriptResult runInitScript(const QString& program, const QString& option, int timeoutMs);
