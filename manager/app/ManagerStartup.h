#pragma once
// The manager program's start-up: its options, the remote close, the single-instance test and
// the user check. GUI thread only.

#include <QString>

#include <sys/types.h>

// True when every character is a decimal digit (any script); true for an empty text.
bool isDecimalNumber(const QString& text);

// True when the real group or a supplementary group of this process is groupName.
bool isCurrentUserInGroup(const char* groupName);

// Only root and members of the manager's group may run it: otherwise the "Wrong user" message
// and the exit code 1; 0 when the user may go on.
int refuseWrongUser(bool isRoot, bool inManagerGroup);

// The process named "ZAMAgentGUI" in /proc to end, other than self: the pid from its status
// file, or 0 when none is found. Entries that cannot be opened are passed over.
pid_t findRunningManager(const QString& procRoot, pid_t self);

class AgentStatusController;
class MainWindow;

// Creates and shows the main window on the controller with the start-up window flags; with the
// option "-tray" the window goes to the tray as soon as the event loop runs.
MainWindow* openMainWindow(AgentStatusController* controller, const QString& option);

// The whole program: "-close" (first argument) ends the running manager, "-tray" starts
// hidden; answers the exit code.
int runManager(int argc, char** argv);
