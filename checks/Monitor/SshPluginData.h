#pragma once
// What an SSH monitor keeps between its polls: the script file's time when last read, and the
// command line and standard input made from it. Owned by the monitor record's plug-in data slot;
// touched only by that monitor's polls.

#include <QByteArray>
#include <QDateTime>

struct SshPluginData
{
    QDateTime fileTime; // invalid until a file was read
    QByteArray commandLine;
    QByteArray scriptText; // empty: nothing on standard input
    bool loaded = false;
};

struct stZamMonitor;

// The script file's bytes (at most 1048576); 0, or the failure with its reason set.
int readScriptFromFile(stZamMonitor* mon, const QByteArray& path, QByteArray& text);
// The command line and standard input for a script: its "#!" line names the interpreter.
void parseAndSetScriptText(SshPluginData* data, const QByteArray& text, const QByteArray& parameters);
