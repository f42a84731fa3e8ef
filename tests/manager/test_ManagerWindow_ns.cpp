// The main window with its manage and configure tabs, on a private settings folder, with a
// fake init script (no control-port peer: the link state is set on the controller).
#include "FakeInitScript.h"
#include "MessageBoxAnswerer.h"
#include "RecordingController.h"
#include "app/AgentStatusController.h"
#include "app/ConfigureTab.h"
#include "app/MainWindow.h"
#include "app/ManageTab.h"
#include "app/ManagerStartup.h"
#include "app/MyApplication.h"

#include "support/EventLoopWait.h"
#include "support/TestCertificates.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace {

const bool g_scaled = qputenv("NETAGENTD_TEST_TIME_SCALE", "0.05");
const QString kIni = QStringLiteral("/etc/opt/corvane-agent/quv.ini");

void writeIni(const QByteArray& text)
{
    QFile f(kIni);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

QByteArray readIni()
{
    QFile f(kIni);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

QString iniValue(const char* key) { return QSettings(kIni, QSettings::IniFormat).value(key).toString(); }

struct Window
{
    FakeInitScript script;
    std::unique_ptr<RecordingController> controller;
    MainWindow* window = nullptr;

    // scriptPath: another init script than the fake one (a missing one).
    explicit Window(const QByteArray& status = "0", const QString& scriptPath = QString())
    {
        script.answer("status", status);
        script.answer("enabled", "0");
        script.answer("enable", "1");
        script.answer("disable", "0");
        controller = std::make_unique<RecordingController>(nullptr, scriptPath.isEmpty() ? script.path() : scriptPath);
        window = new MainWindow(controller.get());
        window->show();
    }
    ~Window() { delete window; }
    template <class T>
    T* child(const char* name) const { return window->findChild<T*>(QString::fromLatin1(name)); }
    QString status() const { return child<QLabel>("lStatusDetails")->text(); }
    bool enabled(const char* button) const { return child<QPushButton>(button)->isEnabled(); }
};

TEST(ManagerWindow, StatusLineAndButtonsFollowTheController)
{
    writeIni("");
    Window w;
    EXPECT_EQ(w.status(), "Requesting agent status...");
    struct Step { int running; int connection; const char* text; bool start; bool stop; };
    const Step steps[] = {
        {0, 2, "Agent is stopped", true, false},
        {1, 2, "Agent is started", false, true},
        {1, 1, "Agent is started, connected", false, true},
        {1, 0, "Agent is started, no connection", false, true},
        {2, 1, "Agent is started, no connection", false, false}, // unknown running state: the line stays
        {2, 2, "Requesting agent status...", false, false},
    };
    for (const Step& s : steps) {
        w.controller->setAgentState(s.running, s.connection);
        EXPECT_EQ(w.status(), QString(s.text)) << s.running << s.connection;
        EXPECT_EQ(w.child<QLabel>("lStatusIcon")->toolTip(), QString(s.text));
        EXPECT_EQ(w.enabled("bStart"), s.start) << s.running << s.connection;
        EXPECT_EQ(w.enabled("bStop"), s.stop);
        EXPECT_EQ(w.enabled("bRestart"), s.stop);
    }
}

TEST(ManagerWindow, StartStopAndRestartRunTheScript)
{
    writeIni("");
    Window w("0");
    ASSERT_TRUE(waitUntil([&] { return w.controller->runningState() == 0; }));
    w.child<QPushButton>("bStart")->click();
    EXPECT_FALSE(w.enabled("bStart"));
    EXPECT_FALSE(w.enabled("bStop"));
    EXPECT_FALSE(w.enabled("bRestart"));
    ASSERT_TRUE(waitUntil([&] { return w.controller->runningState() == 1; }));
    EXPECT_TRUE(w.script.calls().contains("-start"));
    EXPECT_TRUE(w.enabled("bStop"));

    w.child<QPushButton>("bRestart")->click();
    ASSERT_TRUE(waitUntil([&] { return w.script.calls().lastIndexOf("-start") > w.script.calls().lastIndexOf("-stop"); }))
        << qPrintable(w.script.calls().join(" "));
    EXPECT_GE(w.script.calls().lastIndexOf("-stop"), 0);

    w.child<QPushButton>("bStop")->click();
    ASSERT_TRUE(waitUntil([&] { return w.controller->runningState() == 0; }));
}

// A daemon slower to end than the restart waits for: the window is given back at the wait's
// end, and the start follows the stop's end (a start beside the stop would find the old daemon
// still running, launch none, and leave the agent stopped).
TEST(ManagerWindow, RestartStartsAfterAStopThatOutlastsItsWait)
{
    writeIni("");
    Window w("1");
    ASSERT_TRUE(waitUntil([&] { return w.controller->runningState() == 1; }));
    w.script.setHanging(true, "-stop");
    w.child<QPushButton>("bRestart")->click();   // returns once the wait has run out
    EXPECT_TRUE(w.script.calls().contains("-stop"));
    // no start while the stop runs (a start beside it would show well within this)
    EXPECT_FALSE(waitUntil([&] { return w.script.calls().contains("-start"); }, 1000))
        << qPrintable(w.script.calls().join(" "));
    w.script.setHanging(false, "-stop");
    ASSERT_TRUE(waitUntil([&] { return w.script.calls().contains("-start"); }, 20000));
    const QStringList calls = w.script.calls();
    EXPECT_LT(calls.indexOf("-stop done"), calls.indexOf("-start")) << qPrintable(calls.join(" "));
    EXPECT_EQ(w.script.count("-start"), 1);
}

// A status run that timed out reads as stopped while the daemon still runs; the restart's stop
// then still has a daemon to end, and a start run beside it would see that daemon and launch
// none, or launch one for the stop to end.
TEST(ManagerWindow, RestartStartsOnlyOnceItsStopHasEnded)
{
    writeIni("");
    Window w("1");
    ASSERT_TRUE(waitUntil([&] { return w.controller->runningState() == 1; }));
    w.script.answer("status", "0");
    ASSERT_TRUE(waitUntil([&] { return w.controller->runningState() == 0; }));

    w.script.setHanging(true, "-stop");
    QTimer release;
    QObject::connect(&release, &QTimer::timeout, [&] {
        if (w.script.calls().contains("-stop"))
            w.script.setHanging(false, "-stop");
    });
    release.start(10);
    emit w.controller->restartAgentRequested();
    ASSERT_TRUE(waitUntil([&] { return w.script.calls().contains("-start done"); }));
    const QStringList calls = w.script.calls();
    const int stopEnd = calls.indexOf("-stop done");
    EXPECT_TRUE(stopEnd >= 0 && stopEnd < calls.indexOf("-start"))
        << qPrintable(calls.filter(QRegularExpression("^-(stop|start)")).join(" "));
}

TEST(ManagerWindow, ARestartIsNeverEnteredTwice)
{
    writeIni("");
    Window w("1");
    ASSERT_TRUE(waitUntil([&] { return w.controller->runningState() == 1; }));
    w.script.setHanging(true, "-stop");
    // the tray's "Restart agent" while the button's restart waits for the stop
    QTimer::singleShot(50, w.controller.get(), [&] { emit w.controller->restartAgentRequested(); });
    w.child<QPushButton>("bRestart")->click();
    ASSERT_TRUE(waitUntil([&] { return w.script.count("-start") == 1; }));
    EXPECT_EQ(w.script.count("-stop"), 1) << qPrintable(w.script.calls().join(" "));
    EXPECT_EQ(w.script.count("-start"), 1);
}

TEST(ManagerWindow, ApplyWritesTheSettingsAndCancelRestoresThem)
{
    writeIni("[Common]\nAgentType=0\nColorTheme=light\n[ActiveAgentSettings]\nHost=svc.example\nPort=4000\n"
             "[AgentServer0]\nTransport=TCP\nHost=0.0.0.0\nPort=5000\n");
    Window w("1");
    ASSERT_TRUE(waitUntil([&] { return w.controller->serviceManager().isRunning(); }));
    auto* apply = w.child<QPushButton>("bApply");
    auto* cancel = w.child<QPushButton>("bCancel");
    auto* host = w.child<QLineEdit>("eActiveServiceHost");
    EXPECT_EQ(host->text(), "svc.example");
    EXPECT_FALSE(apply->isEnabled());

    w.child<QSpinBox>("sbActivePort")->setValue(4100);
    EXPECT_TRUE(apply->isEnabled());
    EXPECT_TRUE(cancel->isEnabled());
    cancel->click();
    EXPECT_EQ(w.child<QSpinBox>("sbActivePort")->value(), 4000);
    EXPECT_FALSE(apply->isEnabled());

    const QByteArray before = readIni();
    w.child<QRadioButton>("rbPassive")->click();
    w.child<QSpinBox>("sbPassivePort")->setValue(5100);
    w.child<QSpinBox>("sbSyslogReceiverPort")->setValue(1514);
    MessageBoxAnswerer answers(QMessageBox::Yes); // missing certificate and key: go on; restart: yes
    apply->click();
    EXPECT_NE(readIni(), before);
    EXPECT_EQ(iniValue("Common/AgentType"), "1");
    EXPECT_EQ(iniValue("AgentServer0/Port"), "5100");
    EXPECT_EQ(iniValue("Syslog/UDPReceiverPort"), "1514");
    EXPECT_EQ(iniValue("ActiveAgentSettings/Port"), "4000");
    ASSERT_TRUE(waitUntil([&] { return answers.texts.size() == 3; }));
    EXPECT_TRUE(answers.texts[2].startsWith("You should restart the agent")) << qPrintable(answers.texts.join("|"));
    EXPECT_TRUE(waitUntil([&] { return w.script.calls().contains("-stop") && w.script.calls().contains("-start"); }, 10000));
}

TEST(ManagerWindow, ValidationRefusesWhatTheDaemonCouldNotUse)
{
    TestCertificates certs;
    ASSERT_TRUE(certs.ok());
    QTemporaryDir dir;
    const QString garbage = certs.path("corrupt.pem");
    const QString ecKey = certs.path("ec.key");
    const QString cert = certs.cert("agent");
    const QString key = certs.key("agent");
    const QString encrypted = certs.path("agent_enc.key");

    struct Case { const char* what; bool passive; QString iface; QString cert; QString key; bool ok; const char* message; };
    const Case cases[] = {
        {"interface of dots", true, "...", cert, key, false, "Network interface is not valid"},
        {"octet above 255", true, "256.1.1.1", cert, key, false, "Network interface is not valid"},
        {"three octets", true, "1.2.3", cert, key, false, "Network interface is not valid"},
        {"all interfaces", true, "0.0.0.0", cert, key, true, nullptr},
        {"active ignores the interface", false, "...", cert, key, true, nullptr},
        {"garbage certificate", false, "", garbage, key, false, "file is not a valid SSL public certificate in PEM format."},
        {"encrypted key", false, "", cert, encrypted, false, "file is not a valid SSL private RSA key in PEM format."},
        {"EC key", false, "", cert, ecKey, false, "file is not a valid SSL private RSA key in PEM format."},
        {"both missing, answered yes", false, "", dir.filePath("none.crt"), dir.filePath("none.key"), true, nullptr},
    };
    writeIni("[Common]\nColorTheme=light\n");
    Window w;
    ConfigureTab* tab = w.window->configureTab();
    for (const Case& c : cases) {
        (c.passive ? w.child<QRadioButton>("rbPassive") : w.child<QRadioButton>("rbActive"))->click();
        w.child<QLineEdit>("ePassiveInterface")->setText(c.iface);
        w.child<QLineEdit>("eSslCert")->setText(c.cert);
        w.child<QLineEdit>("eSslKey")->setText(c.key);
        MessageBoxAnswerer answers(QMessageBox::Yes);
        EXPECT_EQ(tab->saveSettings(false), c.ok) << c.what;
        if (c.message != nullptr) {
            ASSERT_FALSE(answers.texts.isEmpty()) << c.what;
            EXPECT_TRUE(answers.texts.last().endsWith(c.message)) << c.what << ": " << qPrintable(answers.texts.last());
        }
    }
    // no "AgentServer0/Transport": the passive address goes nowhere
    EXPECT_FALSE(readIni().contains("AgentServer0"));
    EXPECT_EQ(iniValue("SSLSettings/CertificatePath"), dir.filePath("none.crt"));
}

TEST(ManagerWindow, ThemeSwitchRebuildsTheWindowOnceAtTheSameGeometry)
{
    TestCertificates certs;
    ASSERT_TRUE(certs.ok());
    writeIni("[Common]\nColorTheme=light\n[SSLSettings]\nCertificatePath=" + certs.cert("agent").toUtf8()
             + "\nPrivateKeyPath=" + certs.key("agent").toUtf8() + "\n");
    Window w("1");
    auto* app = qobject_cast<MyApplication*>(QCoreApplication::instance());
    QMetaObject::Connection rebuild = QObject::connect(app, &MyApplication::themeSwitched, [&] {
        rebuildMainWindow(w.window, w.controller.get());
    });
    int switches = 0;
    QObject::connect(app, &MyApplication::themeSwitched, [&] { ++switches; });
    w.window->setGeometry(40, 50, 640, 560);
    MainWindow* old = w.window;
    const QRect geometry = old->geometry();
    w.child<QRadioButton>("rbDarkTheme")->click();
    EXPECT_TRUE(w.child<QPushButton>("bApply")->isEnabled());
    EXPECT_FALSE(w.window->configureTab()->isChanged());
    w.child<QRadioButton>("rbLightTheme")->click();
    EXPECT_FALSE(w.child<QPushButton>("bApply")->isEnabled()) << "the stored theme again";
    w.child<QRadioButton>("rbDarkTheme")->click();

    MessageBoxAnswerer answers(QMessageBox::No);
    w.child<QPushButton>("bApply")->click();
    EXPECT_EQ(iniValue("Common/ColorTheme"), "dark");
    EXPECT_TRUE(app->isDarkTheme);
    ASSERT_TRUE(waitUntil([&] { return switches == 1; }));
    QCoreApplication::processEvents();
    EXPECT_NE(w.window, old);
    EXPECT_EQ(w.window->geometry(), geometry);
    EXPECT_TRUE(answers.texts.isEmpty()) << "no restart question for a theme: " << qPrintable(answers.texts.join("|"));

    // a theme switched together with a setting: the rebuild waits for the restart question
    ASSERT_TRUE(waitUntil([&] { return w.controller->serviceManager().isRunning(); }));
    w.child<QRadioButton>("rbLightTheme")->click();
    w.child<QSpinBox>("sbSyslogReceiverPort")->setValue(1600);
    old = w.window;
    answers.queue(QMessageBox::No);
    w.child<QPushButton>("bApply")->click();
    ASSERT_TRUE(waitUntil([&] { return switches == 2; }));
    EXPECT_TRUE(waitUntil([&] { return w.window != old; }));
    EXPECT_EQ(answers.texts.size(), 1) << w.controller->serviceManager().isRunning() << " " << qPrintable(iniValue("Syslog/UDPReceiverPort"));
    QObject::disconnect(rebuild);
    app->applyTheme("light");
}

TEST(ManagerWindow, ClosingWithUnsavedEditsAsksFirst)
{
    writeIni("[Common]\nColorTheme=light\n[Syslog]\nUDPReceiverPort=514\n");
    Window w;
    auto* syslog = w.child<QSpinBox>("sbSyslogReceiverPort");
    syslog->setValue(600);
    {
        MessageBoxAnswerer answers(QMessageBox::Cancel);
        w.window->close();
        ASSERT_TRUE(waitUntil([&] { return answers.texts.size() == 1; }));
        EXPECT_EQ(answers.texts[0], "Settings have been changed. Would you like to save the changes?");
        QCoreApplication::processEvents();
        EXPECT_TRUE(w.window->isVisible());
    }
    MessageBoxAnswerer answers(QMessageBox::No);
    w.window->close();
    ASSERT_TRUE(waitUntil([&] { return !w.window->isVisible(); }));
    EXPECT_EQ(syslog->value(), 514) << "No reloads the file";
    EXPECT_TRUE(w.controller->trayIcon().contextMenu()->actions().first()->isEnabled()) << "Open is enabled";
    EXPECT_TRUE(w.controller->balloons.contains("Agent Manager is in tray now: Click icon to expand the window"))
        << qPrintable(w.controller->balloons.join("|"));
}

TEST(ManagerWindow, TrayOptionStartsHiddenAndActivateCommandBringsItBack)
{
    writeIni("[Common]\nColorTheme=light\n");
    FakeInitScript script;
    script.answer("status", "0");
    RecordingController controller(nullptr, script.path());
    struct Case { const char* option; bool hidden; };
    for (const Case& c : {Case{"-tray", true}, Case{"-Tray", false}, Case{"", false}}) {
        std::unique_ptr<MainWindow> window(openMainWindow(&controller, QString::fromLatin1(c.option)));
        EXPECT_TRUE(window->isVisible()) << c.option;
        EXPECT_EQ(window->windowFlags() & mainWindowFlags(), mainWindowFlags()) << c.option;
        QCoreApplication::processEvents(); // the zero-time hide, where asked
        EXPECT_EQ(window->isHidden(), c.hidden) << c.option;
        EXPECT_EQ(controller.trayIcon().contextMenu()->actions().first()->isEnabled(), c.hidden) << "Open, " << c.option;
    }

    // a second start writes the activate command; the hidden window shows on the next tick
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", tmp.path().toUtf8()); // a block of this test's own
    auto* app = qobject_cast<MyApplication*>(QCoreApplication::instance());
    app->sharedBlock.setKey(QStringLiteral("CORVANE_AGENT_MANAGER"));
    ASSERT_TRUE(app->sharedBlock.create(64) || app->sharedBlock.attach()) << qPrintable(app->sharedBlock.errorString());
    std::unique_ptr<MainWindow> window(openMainWindow(&controller, QStringLiteral("-tray")));
    ASSERT_TRUE(waitUntil([&] { return window->isHidden(); }));
    app->writeCommandByte(MyApplication::ActivateCommand);
    EXPECT_TRUE(waitUntil([&] { return window->isVisible(); }, 1000));
    EXPECT_FALSE(controller.trayIcon().contextMenu()->actions().first()->isEnabled());
    EXPECT_NE(app->readHeartbeat(), 0u) << "the window keeps the heartbeat";
    app->sharedBlock.detach();
    if (oldTmp.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", oldTmp);
}

TEST(ManagerWindow, PythonControlsAreSetAtLoadAsOnAClick)
{
    struct Case { const char* value; bool builtIn; };
    for (const Case& c : {Case{"1", true}, Case{"0", false}}) {
        writeIni(QByteArray("[Common]\nColorTheme=light\n[Python]\nUseBuiltInPython=") + c.value + "\nCustomPythonPath=/usr/bin/python3\n");
        Window w;
        EXPECT_EQ(w.child<QLineEdit>("defaultPythonExePath")->isVisibleTo(w.window), c.builtIn) << c.value;
        EXPECT_EQ(w.child<QLineEdit>("pythonExePath")->isVisibleTo(w.window), !c.builtIn) << c.value;
        EXPECT_EQ(w.child<QLabel>("pythonPathLabel")->isEnabled(), !c.builtIn) << c.value;
        EXPECT_EQ(w.child<QPushButton>("customPythonBrowseButton")->isEnabled(), !c.builtIn) << c.value;
        EXPECT_EQ(w.child<QLineEdit>("pythonExePath")->text(), "/usr/bin/python3");
    }
}

TEST(ManagerWindow, ASaveIsOnDiskWhenItReturns)
{
    TestCertificates certs;
    ASSERT_TRUE(certs.ok());
    writeIni("[Common]\nColorTheme=light\n[SSLSettings]\nCertificatePath=" + certs.cert("agent").toUtf8()
             + "\nPrivateKeyPath=" + certs.key("agent").toUtf8() + "\n");
    Window w("0"); // stopped: no restart question, so no message box runs an event loop
    ASSERT_TRUE(waitUntil([&] { return w.controller->runningState() == 0; }));
    MessageBoxAnswerer answers(QMessageBox::No);
    w.child<QSpinBox>("sbSnmpTrapReceiverPort")->setValue(1162);
    ASSERT_TRUE(w.window->configureTab()->saveSettings(true));
    EXPECT_TRUE(readIni().contains("UDPTrapReceiverPort=1162")) << readIni().constData(); // read before any event runs
    EXPECT_TRUE(answers.texts.isEmpty()) << qPrintable(answers.texts.join("|"));
}

TEST(ManagerWindow, AMissingInitScriptDisablesAutostartWithItsReason)
{
    writeIni("[Common]\nColorTheme=light\n");
    MessageBoxAnswerer answers(QMessageBox::Yes);
    Window w("0", QStringLiteral("/nonexistent/DaemonInitialization.sh"));
    ASSERT_EQ(answers.texts.size(), 1);
    EXPECT_TRUE(answers.texts[0].startsWith("Can't define 'Agent autostart' value: feature is disabled. Error message: Can't run "))
        << qPrintable(answers.texts[0]);
    EXPECT_FALSE(w.child<QCheckBox>("checkBox")->isEnabled());
    // a save leaves the start-up links alone and asks nothing more
    w.child<QSpinBox>("sbSyslogReceiverPort")->setValue(1514);
    EXPECT_TRUE(w.window->configureTab()->saveSettings(false)) << qPrintable(answers.texts.join("|"));
    EXPECT_EQ(iniValue("Syslog/UDPReceiverPort"), "1514");
    EXPECT_EQ(answers.texts.size(), 3) << "only the two missing files: " << qPrintable(answers.texts.join("|"));
}

TEST(ManagerWindow, BadSettingsValuesAreClampedOrFallBack)
{
    writeIni("[Common]\nColorTheme=blue\n[ActiveAgentSettings]\nPort=abc\n[Syslog]\nUDPReceiverPort=70000\n"
             "[SNMP]\nUDPTrapReceiverPort=-5\n[SSLSettings]\nCertificatePath=/nonexistent/agent.crt\n");
    Window w;
    EXPECT_EQ(w.child<QSpinBox>("sbActivePort")->value(), 0);
    EXPECT_EQ(w.child<QSpinBox>("sbSyslogReceiverPort")->value(), 65535);
    EXPECT_EQ(w.child<QSpinBox>("sbSnmpTrapReceiverPort")->value(), 0);
    EXPECT_TRUE(w.child<QRadioButton>("rbLightTheme")->isChecked());
    EXPECT_TRUE(w.child<QLineEdit>("eConnId")->text().startsWith("Can't generate connection Id: "));
}

} // namespace
