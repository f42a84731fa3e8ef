#pragma once
// A QApplication that remembers whether quitting has begun, so code running in a nested event
// loop can tell. GUI thread only.

#include <QApplication>

class HandlingQuitSignalApp : public QApplication
{
    Q_OBJECT
public:
    HandlingQuitSignalApp(int& argc, char** argv);

    bool isQuitting() const { return m_quitting; }

public slots:
    void quit();
    void onAboutToQuit();

private:
    bool m_quitting = false;
};
