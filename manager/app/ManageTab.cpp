#include "ManageTab.h"

#include "AgentStatusController.h"
#include "MainWindow.h"
#include "WindowBusyScope.h"
#include "common/TestTimeScale.h"

#include <QEventLoop>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpacerItem>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>

namespace {
constexpr int kRestartStopWaitMs = 19999;
} // namespace

ManageTab::ManageTab(MainWindow* mainWindow) : QWidget(mainWindow), m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("ManageTab"));
    setWindowTitle(QStringLiteral("Form"));
    resize(529, 43);
    auto* outer = new QVBoxLayout(this);
    outer->setObjectName(QStringLiteral("verticalLayout"));
    outer->setSpacing(0);
    auto* grid = new QGridLayout;
    grid->setObjectName(QStringLiteral("gridLayout"));
    grid->setHorizontalSpacing(7);
    grid->setVerticalSpacing(0);
    m_statusIcon = new QLabel(this);
    m_statusIcon->setObjectName(QStringLiteral("lStatusIcon"));
    m_statusDetails = new QLabel(this);
    m_statusDetails->setObjectName(QStringLiteral("lStatusDetails"));
    m_statusDetails->setWordWrap(true);
    m_statusDetails->setOpenExternalLinks(true);
    auto makeButton = [this](const char* name, const char* text) {
        auto* button = new QPushButton(QString::fromLatin1(text), this);
        button->setObjectName(QString::fromLatin1(name));
        return button;
    };
    m_start = makeButton("bStart", "Start agent");
    m_start->setEnabled(false);
    m_stop = makeButton("bStop", "Stop agent");
    m_restart = makeButton("bRestart", "Restart agent");
    grid->addWidget(m_statusIcon, 0, 0);
    grid->addWidget(m_statusDetails, 0, 1);
    grid->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum), 0, 2);
    grid->addWidget(m_start, 0, 3);
    grid->addWidget(m_stop, 0, 4);
    grid->addWidget(m_restart, 0, 5);
    outer->addLayout(grid);

    m_statusIcon->clear();
    m_statusDetails->clear();
    refreshButtons();
    connect(m_stop, &QPushButton::clicked, this, &ManageTab::stopAgent);
    connect(m_start, &QPushButton::clicked, this, &ManageTab::startAgent);
    connect(m_restart, &QPushButton::clicked, this, &ManageTab::restartAgent);
    connect(m_mainWindow, &MainWindow::statusChanged, this, &ManageTab::refreshButtons);
}

void ManageTab::setButtonsEnabled(bool start, bool stop)
{
    m_start->setEnabled(start);
    m_stop->setEnabled(stop);
    m_restart->setEnabled(stop);
}

void ManageTab::refreshButtons()
{
    const AgentStatusController* c = m_mainWindow->controller();
    const int running = c->runningState();
    const int connection = c->connectionState();
    setButtonsEnabled(running == 0, running == 1);
    QString text;
    QString image = QStringLiteral("agent_disabled.png");
    if (running == 0) {
        text = QStringLiteral("Agent is stopped");
    } else if (running == 1) {
        text = QStringLiteral("Agent is started");
        if (connection == 1) {
            text += QStringLiteral(", connected");
            image = QStringLiteral("agent_on.png");
        } else if (connection == 0) {
            text += QStringLiteral(", no connection");
            image = QStringLiteral("agent_off.png");
        }
    } else if (connection == 2) {
        text = QStringLiteral("Requesting agent status...");
    } else {
        return; // running state unknown with a known link: the line stays as it was
    }
    m_statusIcon->setPixmap(QPixmap(QStringLiteral(":/resources/images/") + image));
    m_statusIcon->setToolTip(text);
    m_statusDetails->setText(text);
}

void ManageTab::startAgent()
{
    if (!m_mainWindow->askToSaveChanges(false))
        return;
    setButtonsEnabled(false, false);
    m_mainWindow->controller()->serviceManager().startService();
}

void ManageTab::stopAgent()
{
    if (!m_mainWindow->askToSaveChanges(false))
        return;
    setButtonsEnabled(false, false);
    m_mainWindow->controller()->serviceManager().stopService();
}

void ManageTab::restartAgent()
{
    if (m_restarting || !m_mainWindow->askToSaveChanges(false))
        return;
    m_restarting = true;
    const WindowBusyScope busy;
    setButtonsEnabled(false, false);
    CServiceManager& service = m_mainWindow->controller()->serviceManager();
    service.stopService();
    // Waits for the stop's own end too: a status seen as stopped too early (a status run that
    // timed out) must not let the start run beside the stop, whose script would end the new daemon.
    QEventLoop wait;
    auto quitWhenStopped = [&] {
        if (!service.isRunning() && !service.isStopping())
            wait.quit();
    };
    connect(&service, &CServiceManager::stopped, &wait, quitWhenStopped);
    connect(&service, &CServiceManager::stopFinished, &wait, quitWhenStopped);
    QTimer::singleShot(zam::scaledMs(kRestartStopWaitMs), &wait, &QEventLoop::quit);
    wait.exec();
    if (!service.isStopping()) {
        service.startService();
        m_restarting = false;
        return;
    }
    // The stop outlasted the wait (a daemon slow to end): a start now would find that daemon
    // still running and launch none, leaving the agent stopped once it ends. The start waits
    // for the stop's end instead, without holding the window.
    CServiceManager* manager = &service;
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(manager, &CServiceManager::stopFinished, this, [this, manager, once] {
        if (manager->isStopping())
            return;
        QObject::disconnect(*once);
        manager->startService();
        m_restarting = false;
    });
}

void ManageTab::onSettingsAppliedToINIFile(bool _askToRestart)
{
    if (!_askToRestart || !m_mainWindow->controller()->serviceManager().isRunning())
        return;
    const WindowBusyScope busy;
    const auto answer = QMessageBox::question(m_mainWindow, QStringLiteral("Restart agent now?"),
                                              QStringLiteral("You should restart the agent to put its changed settings into "
                                                             "effect. Do you want to restart it now?"),
                                              QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes)
        QTimer::singleShot(0, this, &ManageTab::restartAgent);
}
