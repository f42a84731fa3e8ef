#pragma once
// Marks code that runs a nested event loop on the main window's behalf (its message boxes,
// the restart's wait), so a window rebuild waits until all of them have returned instead of
// deleting the window under them. GUI thread only.

class WindowBusyScope
{
public:
    WindowBusyScope() { ++s_depth; }
    ~WindowBusyScope() { --s_depth; }
    WindowBusyScope(const WindowBusyScope&) = delete;
    WindowBusyScope& operator=(const WindowBusyScope&) = delete;

    static bool active() { return s_depth > 0; }

private:
    static inline int s_depth = 0;
};
