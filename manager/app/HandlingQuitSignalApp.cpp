#include "HandlingQuitSignalApp.h"

HandlingQuitSignalApp::HandlingQuitSignalApp(int& argc, char** argv) : QApplication(argc, argv)
{
    connect(this, &QCoreApplication::aboutToQuit, this, &HandlingQuitSignalApp::onAboutToQuit);
}

void HandlingQuitSignalApp::quit()
{
    m_quitting = true;
    QApplication::quit();
}

void HandlingQuitSignalApp::onAboutToQuit() { m_quitting = true; }
