#include "GalleryWindow.h"

#include "support/EventLoopWait.h"

#include <QDir>
#include <QImage>
#include <gtest/gtest.h>

#include <memory>

// Grabs the gallery in both themes (under Xvfb in the test run) into <build>/gallery/ for
// review, and checks what the pictures must show: each theme's own window and banner colours.
TEST(ThemeGallery, GrabsEveryControlInBothThemes)
{
    ASSERT_TRUE(loadThemes(":/themes/light.json", ":/themes/dark.json", QString(), QString()));
    const QString folder = QStringLiteral(ZAM_BUILD_DIR "/gallery");
    ASSERT_TRUE(QDir().mkpath(folder));
    for (bool dark : {false, true}) {
        activateTheme(dark);
        std::unique_ptr<QWidget> window(makeGalleryWindow());
        window->show();
        ASSERT_TRUE(waitUntil([&] { return window->isVisible(); }));
        // the help label recolours its links on the event loop's next pass
        auto* help = window->findChild<VektHelpLabel*>();
        ASSERT_NE(help, nullptr);
        ASSERT_TRUE(waitUntil([&] { return help->text().contains(themeColors().Link_Normal.name()); }));
        const QImage picture = window->grab().toImage();
        ASSERT_FALSE(picture.isNull());
        EXPECT_TRUE(picture.save(folder + (dark ? "/dark.png" : "/light.png")));
        const ThemeColors& c = themeColors();
        EXPECT_EQ(picture.pixelColor(picture.width() - 3, picture.height() - 3).rgb(), c.Window_Bgr.rgb());
        // the banner's background, left of its indented text
        auto* banner = window->findChild<VektTopLabel*>();
        ASSERT_NE(banner, nullptr);
        const QPoint inBanner = banner->mapTo(window.get(), QPoint(3, banner->height() / 2));
        EXPECT_EQ(picture.pixelColor(inBanner).rgb(), c.Wizard_BannerBgr.rgb());
    }
}
