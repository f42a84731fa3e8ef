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

namespace {

// Share of pixels that differ by more than a small amount in any channel; 1 for other sizes.
double differingShare(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 1.0;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32), y = b.convertToFormat(QImage::Format_ARGB32);
    qint64 differing = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QColor p = x.pixelColor(col, row), q = y.pixelColor(col, row);
            if (qAbs(p.red() - q.red()) > 40 || qAbs(p.green() - q.green()) > 40 || qAbs(p.blue() - q.blue()) > 40)
                ++differing;
        }
    return double(differing) / (x.width() * x.height());
}

// Compared with the reviewed picture of the same name: build paths and font hinting may differ.
void expectLikeReviewed(const QImage& picture, const QString& name)
{
    const QImage reviewed(QStringLiteral(ZAM_SOURCE_DIR "/tests/manager/gallery/reviewed/") + name);
    ASSERT_FALSE(reviewed.isNull()) << qPrintable(name);
    EXPECT_LT(differingShare(picture, reviewed), 0.03) << qPrintable(name);
}

} // namespace

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
            const QString name = QStringLiteral("window-%1-%2.png").arg(theme, shot.name);
            EXPECT_TRUE(picture.save(folder + "/" + name));
            if (QLatin1String(shot.name) == QLatin1String("connected"))
                expectLikeReviewed(picture, name);
        }
        window->findChild<QRadioButton*>("rbPassive")->click();
        QCoreApplication::processEvents();
        EXPECT_TRUE(window->grab().save(QStringLiteral("%1/window-%2-passive.png").arg(folder, theme)));
        QMenu* menu = controller.trayIcon().contextMenu();
        menu->popup(QPoint(10, 10));
        ASSERT_TRUE(waitUntil([&] { return menu->isVisible(); }));
        const QImage trayMenu = menu->grab().toImage();
        EXPECT_TRUE(trayMenu.save(QStringLiteral("%1/tray-menu-%2.png").arg(folder, theme)));
        expectLikeReviewed(trayMenu, QStringLiteral("tray-menu-%1.png").arg(theme));
        menu->hide();
        EXPECT_EQ(window->findChild<QLabel*>("lStatusDetails")->text(), "Agent is started, connected");
    }
    app->applyTheme("light");
}
