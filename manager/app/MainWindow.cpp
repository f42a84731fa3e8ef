#include "MainWindow.h"

#include "AgentStatusController.h"
#include "ConfigureTab.h"
#include "ManageTab.h"
#include "MyApplication.h"
#include "WindowBusyScope.h"
#include "common/AgentSettings.h"
#include "widgets/VektTopLabel.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString kTitle = QStringLiteral("Corvane Monitor Agent Manager, v%1").arg(QStringLiteral("1.1.354"));

QWidget* wrap(QWidget* content, const char* name)
{
    auto* holder = new QWidget;
    holder->setObjectName(QString::fromLatin1(name));
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
    return holder;
}
} // namespace

Qt::WindowFlags mainWindowFlags() { return Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint; }

MainWindow::MainWindow(AgentStatusController* controller, QWidget* parent)
    : QMainWindow(parent), m_settings(openAgentSettings()), m_controller(controller)
{
    setWindowIcon(m_controller->stateIcon());
    m_configureTab = new ConfigureTab(this, m_settings.get());
    m_manageTab = new ManageTab(this);
    connect(m_manageTab, &ManageTab::agentRunning, m_controller, &AgentStatusController::onAgentRunning);
    connect(m_manageTab, &ManageTab::agentStopped, m_controller, &AgentStatusController::onAgentStopped);
    connect(m_configureTab, &ConfigureTab::settingsAppliedToINIFile, m_manageTab, &ManageTab::onSettingsAppliedToINIFile);

    setObjectName(QStringLiteral("MainWindow"));
    resize(622, 521);
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    auto* layout = new QVBoxLayout(central);
    layout->setObjectName(QStringLiteral("verticalLayout"));
    layout->setSpacing(6);
    layout->setContentsMargins(0, 0, 0, 0);
    m_topLabel = new VektTopLabel(central);
    m_topLabel->setObjectName(QStringLiteral("topLabel"));
    m_topLabel->setFixedHeight(27);
    layout->addWidget(m_topLabel);
    layout->addWidget(wrap(m_manageTab, "wManage"));
    layout->addWidget(wrap(m_configureTab, "wConfigure"));
    setCentralWidget(central);
    connect(m_configureTab->findChild<QWidget*>(QStringLiteral("bHide")), SIGNAL(clicked()), this, SLOT(on_bHide_clicked()));

    connect(m_controller, &AgentStatusController::statusChanged, this, &MainWindow::onControllerStatusChanged);
    connect(m_controller, &AgentStatusController::openRequested, this, &MainWindow::onOpenOrToggleRequested);
    connect(m_controller, &AgentStatusController::startAgentRequested, m_manageTab, &ManageTab::startAgent);
    connect(m_controller, &AgentStatusController::stopAgentRequested, m_manageTab, &ManageTab::stopAgent);
    connect(m_controller, &AgentStatusController::restartAgentRequested, m_manageTab, &ManageTab::restartAgent);
    connect(m_controller, &AgentStatusController::shutdownRequested, this, &MainWindow::onShutdown);
    auto* shortcut = new QShortcut(QKeySequence(QStringLiteral("Alt+X")), this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, &MainWindow::onShutdown);

    setWindowTitle(kTitle);
    m_topLabel->setText(kTitle);
    resize(sizeHint());
    m_timerId = startTimer(300);
    onControllerStatusChanged();
}

MainWindow::~MainWindow() = default;

void MainWindow::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_timerId)
        return;
    auto* app = qobject_cast<MyApplication*>(QCoreApplication::instance());
    if (app == nullptr || !app->isBlockAttached())
        return;
    app->writeHeartbeat(heartbeatNow());
    switch (app->takeCommandByte()) {
    case MyApplication::CloseCommand:
        app->quit();
        break;
    case MyApplication::ActivateCommand:
        forceActivate();
        break;
    default:
        break;
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    hideToTray();
}

void MainWindow::hideToTray() { QTimer::singleShot(0, this, &MainWindow::on_bHide_clicked); }

void MainWindow::forceActivate()
{
    show();
    raise();
    activateWindow();
    QApplication::setActiveWindow(this);
    m_controller->setOpenEnabled(false);
}

void MainWindow::on_bHide_clicked()
{
    if (!askToSaveChanges(true))
        return;
    hide();
    m_controller->setOpenEnabled(true);
    m_controller->showTrayMessage(QStringLiteral("Agent Manager is in tray now"), QStringLiteral("Click icon to expand the window"), 1500);
}

void MainWindow::onShutdown()
{
    if (askToSaveChanges(true))
        QCoreApplication::quit();
}

void MainWindow::onOpenOrToggleRequested()
{
    if (isHidden())
        forceActivate();
    else
        on_bHide_clicked();
}

void MainWindow::onControllerStatusChanged()
{
    setWindowIcon(m_controller->stateIcon());
    emit statusChanged();
}

bool MainWindow::askToSaveChanges(bool askToRestart)
{
    if (!m_configureTab->isChanged())
        return true;
    const WindowBusyScope busy;
    const auto answer = QMessageBox::warning(this, QStringLiteral("Warning"),
                                             QStringLiteral("Settings have been changed. Would you like to save the changes?"),
                                             QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::NoButton);
    if (answer == QMessageBox::Yes)
        return m_configureTab->saveSettings(askToRestart);
    if (answer == QMessageBox::No) {
        m_configureTab->loadSettings();
        return true;
    }
    return false;
}

void rebuildMainWindow(MainWindow*& window, AgentStatusController* controller)
{
    if (WindowBusyScope::active() || QApplication::activeModalWidget() != nullptr) {
        QTimer::singleShot(50, controller, [&window, controller] { rebuildMainWindow(window, controller); });
        return;
    }
    const QRect geometry = window->geometry();
    const bool visible = window->isVisible();
    delete window;
    window = new MainWindow(controller);
    window->setWindowFlags(mainWindowFlags());
    window->setGeometry(geometry);
    if (visible) {
        window->show();
        controller->setOpenEnabled(false);
    } else {
        controller->setOpenEnabled(true);
    }
}
