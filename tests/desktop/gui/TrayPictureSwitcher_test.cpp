// A window's tray place: pictures and tips by state, the menu both programs show, and where
// the window goes when it is sent to the tray.

#include "common/desktop/gui/TrayIcon.h"
#include "common/desktop/gui/TrayPictureSwitcher.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QWidget>

using desktop::TrayPictureSwitcher;
using desktop::TTrayIcon;

TEST(TrayPictureSwitcher, StatesSwitchPictureAndTipAndTheMenuRestoresOrCloses)
{
    QWidget window;
    TrayPictureSwitcher tray(&window, QStringLiteral("SE"), QStringLiteral("SEN"));
    tray.show(core::TrayState::Normal, "SEN");
    const qint64 normal = tray.icon()->Icon().cacheKey();
    EXPECT_TRUE(tray.icon()->isInTray());
    EXPECT_EQ(tray.icon()->Tip(), "SEN");

    tray.show(core::TrayState::Attention, "SEN - host down");
    EXPECT_EQ(tray.state(), core::TrayState::Attention);
    EXPECT_EQ(tray.icon()->shownTip(), "SEN - host down");
    EXPECT_NE(tray.icon()->Icon().cacheKey(), normal);
    tray.show(core::TrayState::Normal, "SEN");
    EXPECT_EQ(tray.icon()->Icon().cacheKey(), normal);

    const auto items = tray.menu()->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->text(), "SEN");
    EXPECT_TRUE(items[0]->font().bold());
    EXPECT_EQ(tray.menu()->defaultAction(), items[0]);
    EXPECT_EQ(items[1]->text(), "Close");

    window.show();
    tray.minimizeToTray();
    QApplication::processEvents();
    // Without a tray the window must stay reachable: minimised, never hidden.
    if (!TTrayIcon::available()) {
        EXPECT_TRUE(window.isVisible());
        EXPECT_TRUE(window.isMinimized());
    } else {
        EXPECT_FALSE(window.isVisible());
    }
    items[0]->trigger();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    items[1]->trigger();
    EXPECT_FALSE(window.isVisible());
}
