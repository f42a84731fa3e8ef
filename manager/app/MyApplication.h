#pragma once
// The manager's application object: the manager shared-memory block (single instance, remote
// close, heartbeat), and the active theme (which of the two colour sets the widgets paint with,
// and the style that draws with it). One instance lives in main for the whole run; GUI thread
// only. The block's own lock is the only synchronisation between manager processes.

#include "HandlingQuitSignalApp.h"

#include <QSharedMemory>

struct ThemeColors;

class MyApplication : public HandlingQuitSignalApp
{
    Q_OBJECT
public:
    // Commands of the block's first byte.
    enum Command : quint8 { NoCommand = 0, CloseCommand = 1, ActivateCommand = 2 };

    MyApplication(int& argc, char** argv);
    // Clears the heartbeat (this manager no longer runs) and detaches.
    ~MyApplication() override;

    // The start-up steps of the program: attach or create the block, load both themes (files
    // beside the settings file first), choose and apply the theme, set the font.
    void startUp();

    // "dark" (exactly) selects the dark set, any other name the light one. Installs a new style
    // and the palette derived from the set, and clears the pixmap cache. It does not announce
    // the switch: the configure tab queues emitThemeSwitched, so one switch rebuilds once.
    void applyTheme(const QString& name);

    // Block access; each is skipped while the block is not attached.
    bool isBlockAttached() const { return sharedBlock.isAttached(); }
    void writeCommandByte(quint8 value);
    // The command byte, cleared.
    quint8 takeCommandByte();
    void writeHeartbeat(quint32 seconds);
    quint32 readHeartbeat();

    const ThemeColors* activeColors = nullptr;
    bool isDarkTheme = false;
    QSharedMemory sharedBlock;

signals:
    // A theme switch from the configure tab has completed; the main window is rebuilt and the
    // styled widgets reapply their colours.
    void themeSwitched();

public slots:
    void emitThemeSwitched() { emit themeSwitched(); }

private:
    void attachBlock();
};

// The application palette of a colour set.
QPalette themePalette(const QPalette& base, const ThemeColors& colors);
// Current UTC time in seconds, as the heartbeat holds it.
quint32 heartbeatNow();
