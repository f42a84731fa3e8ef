#include "FakeInitScript.h"
#include "app/AgentStatusController.h"
#include "app/MainWindow.h"
#include "app/MyApplication.h"
#include "themes/ThemeColors.h"

#include "support/EventLoopWait.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <memory>

// Pictures of the main window in both themes for review, in <build>/gallery/: the states of the
// status line, the passive-mode panel and the tray menu. Runs in the private settings folder.
TEST(ManagerScreens, MainWindowInBothThemes)
{
    {
        QFile f(QStringLiteral("/etc/opt/corvane-agent/quv.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[Common]\nAgentType=0\n[ActiveAgentSettings]\nHost=monitor.example\nPort=9000\n"
                "[AgentServer0]\nTransport=TCP\nHost=0.0.0.0\nPort=9443\n");
    }
    const QString folder = QStringLiteral(ZAM_BUILD_DIR "/gallery");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(loadThemes(":/themes/light.json", ":/themes/dark.json", QString(), QString()));
    auto* app = qobject_cast<MyApplication*>(QCoreApplication::instance());
    FakeInitScript script;
    script.answer("enabled", "1");
    for (const char* theme : {"light", "dark"}) {
        app->applyTheme(theme);
        AgentStatusController controller(nullptr, script.path());
        std::unique_ptr<MainWindow> window(new MainWindow(&controller));
        window->show();
        ASSERT_TRUE(waitUntil([&] { return window->isVisible(); }));
        struct Shot { const char* name; int running; int connection; };
        for (const Shot& shot : {Shot{"requesting", 2, 2}, Shot{"stopped", 0, 2}, Shot{"connected", 1, 1}}) {
            controller.setAgentState(shot.running, shot.connection);
            QCoreApplication::processEvents();
            const QImage picture = window->grab().toImage();
            EXPECT_TRUE(picture.save(QStringLiteral("%1/window-%2-%3.png").arg(folder, theme, shot.name)));
        }
        window->findChild<QRadioButton*>("rbPassive")->click();
        QCoreApplication::processEvents();
        EXPECT_TRUE(window->grab().save(QStringLiteral("%1/window-%2-passive.png").arg(folder, theme)));
        QMenu* menu = controller.trayIcon().contextMenu();
        menu->popup(QPoint(10, 10));
        ASSERT_TRUE(waitUntil([&] { return menu->isVisible(); }));
        EXPECT_TRUE(menu->grab().save(QStringLiteral("%1/tray-menu-%2.png").arg(folder, theme)));
        menu->hide();
        EXPECT_EQ(window->findChild<QLabel*>("lStatusDetails")->text(), "Agent is started, connected");
    }
    app->applyTheme("light");
}
