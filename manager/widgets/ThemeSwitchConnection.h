#pragma once
// Connects a widget's colour slot to the application's theme-switch signal, when the running
// application is the manager's (tests and tools may run the widgets under a plain one).

#include "app/MyApplication.h"

#include <QCoreApplication>

template <class Widget>
void connectThemeSwitch(Widget* widget, void (Widget::*slot)())
{
    if (auto* app = qobject_cast<MyApplication*>(QCoreApplication::instance()))
        QObject::connect(app, &MyApplication::themeSwitched, widget, slot);
}
