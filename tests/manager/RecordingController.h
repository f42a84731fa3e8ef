#pragma once
// The status controller with its tray balloons recorded ("title: text") as well as shown.
#include "app/AgentStatusController.h"

#include <QStringList>

class RecordingController : public AgentStatusController
{
public:
    using AgentStatusController::AgentStatusController;
    QStringList balloons;
    void showTrayMessage(const QString& title, const QString& text, int ms) override
    {
        balloons << title + ": " + text;
        AgentStatusController::showTrayMessage(title, text, ms);
    }
};
