#include "ManagerStartup.h"

#include "AgentStatusController.h"
#include "MainWindow.h"
#include "MyApplication.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <grp.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr quint32 kHeartbeatAliveSeconds = 3;
const char kManagerGroup[] = "corvane-agent";
} // namespace

bool isDecimalNumber(const QString& text)
{
    for (const QChar c : text) {
        if (!c.isDigit())
            return false;
    }
    return true;
}

bool isCurrentUserInGroup(const char* groupName)
{
    const group* entry = getgrnam(groupName);
    if (entry == nullptr)
        return false;
    const gid_t wanted = entry->gr_gid;
    const int count = getgroups(0, nullptr);
    if (count < 0)
        return false;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (count > 0 && getgroups(count, groups.data()) < 0)
        return false;
    if (getgid() == wanted)
        return true;
    for (const gid_t g : groups) {
        if (g == wanted)
            return true;
    }
    return false;
}

pid_t findRunningManager(const QString& procRoot, pid_t self)
{
    const QStringList entries = QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString& entry : entries) {
        if (entry.isEmpty() || !isDecimalNumber(entry) || entry.toLongLong() == self)
            continue;
        QFile status(procRoot + QLatin1Char('/') + entry + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
            continue; // gone, or not ours to read
        bool nameMatched = false;
        while (!status.atEnd()) {
            const QString line = QString::fromUtf8(status.readLine());
            if (!nameMatched && line.startsWith(QLatin1String("Name:"))) {
                if (line.mid(5).trimmed() != QLatin1String("ZAMAgentGUI"))
                    break;
                nameMatched = true;
            } else if (nameMatched && line.startsWith(QLatin1String("Pid:"))) {
                bool ok = false;
                const long pid = line.mid(4).trimmed().toLong(&ok);
                if (ok && pid > 0 && pid != self)
                    return static_cast<pid_t>(pid);
                break;
            }
        }
    }
    return 0;
}

int refuseWrongUser(bool isRoot, bool inManagerGroup)
{
    if (isRoot || inManagerGroup)
        return 0;
    QMessageBox::critical(nullptr, QStringLiteral("Wrong user"),
                          QStringLiteral("The current user should be a member of corvane-agent group to be able to save "
                                         "the changed settings"),
                          QMessageBox::Ok);
    return 1;
}

static int closeRunningManager(MyApplication& app)
{
    app.writeCommandByte(MyApplication::CloseCommand);
    QThread::msleep(500);
    const pid_t running = findRunningManager(QStringLiteral("/proc"), getpid());
    if (running > 0)
        ::kill(running, SIGTERM);
    return 0;
}

static bool anotherManagerAlive(MyApplication& app)
{
    if (!app.isBlockAttached())
        return false;
    // unsigned: a heartbeat from the future (clock set back) counts as long dead
    return heartbeatNow() - app.readHeartbeat() <= kHeartbeatAliveSeconds;
}

MainWindow* openMainWindow(AgentStatusController* controller, const QString& option)
{
    auto* window = new MainWindow(controller);
    window->setWindowFlags(mainWindowFlags());
    window->show();
    controller->setOpenEnabled(false);
    if (option == QLatin1String("-tray"))
        QTimer::singleShot(0, window, &MainWindow::on_bHide_clicked);
    return window;
}

int runManager(int argc, char** argv)
{
    MyApplication app(argc, argv);
    app.startUp();
    const QString option = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (option == QLatin1String("-close"))
        return closeRunningManager(app);
    if (anotherManagerAlive(app)) {
        app.writeCommandByte(MyApplication::ActivateCommand);
        return 0;
    }
    if (const int refused = refuseWrongUser(geteuid() == 0, isCurrentUserInGroup(kManagerGroup)))
        return refused;
    app.writeHeartbeat(heartbeatNow());

    auto* controller = new AgentStatusController();
    MainWindow* window = openMainWindow(controller, option);
    QObject::connect(&app, &MyApplication::themeSwitched, &app, [&window, controller] { rebuildMainWindow(window, controller); });
    const int result = app.exec();
    delete window;
    delete controller;
    return result;
}
