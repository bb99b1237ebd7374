// The tray icon on the offscreen platform: what it hands to the tray, and which events the
// tray's activations fire. Activations are sent through the real tray object's signal.

#include "common/desktop/gui/TrayIcon.h"
#include "common/desktop/gui/TrayPictures.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

using namespace desktop;

namespace {

class TrayIconTest : public ::testing::Test
{
protected:
    void activate(QSystemTrayIcon::ActivationReason reason) { emit tray->platformIcon()->activated(reason); }

    // Records every event under its name, in firing order.
    void recordAll()
    {
        tray->OnClick = [this](TTrayIcon&) { fired.push_back("click"); };
        tray->OnDblClick = [this](TTrayIcon&) { fired.push_back("dblclick"); };
        tray->OnMouseDown = [this](TTrayIcon&) { fired.push_back("down"); };
        tray->OnMouseMove = [this](TTrayIcon&) { fired.push_back("move"); };
        tray->OnMouseUp = [this](TTrayIcon&) { fired.push_back("up"); };
    }

    std::unique_ptr<QWidget> owner = std::make_unique<QWidget>();
    QPointer<TTrayIcon> tray = new TTrayIcon(owner.get());
    std::vector<std::string> fired;
};

using Events = std::vector<std::string>;

TEST_F(TrayIconTest, TipIsCutToItsFirst63BytesWithoutSplittingACharacter)
{
    const std::string longTip(100, 'x');
    tray->setTip(longTip);
    ASSERT_TRUE(tray->AddToTray());
    EXPECT_EQ(tray->shownTip(), std::string(63, 'x'));
    EXPECT_EQ(tray->Tip(), longTip);

    // A two-byte character across the limit goes out whole.
    tray->setTip(std::string(62, 'a') + "\xC3\xA9" + "b");
    EXPECT_EQ(tray->shownTip(), std::string(62, 'a'));

    tray->setTip(std::string(63, 'c'));
    EXPECT_EQ(tray->shownTip(), std::string(63, 'c'));
}

TEST_F(TrayIconTest, ModifyBeforeAddIsRefusedButTheValuesWaitForTheAdd)
{
    const auto pictures = makeTrayPictures(QStringLiteral("RP"));
    tray->setTip("RP");
    tray->setIcon(pictures[1]);
    EXPECT_FALSE(tray->NotifyTray(TTrayIcon::NimModify));
    EXPECT_FALSE(tray->isInTray());
    EXPECT_EQ(tray->shownTip(), "");

    ASSERT_TRUE(tray->AddToTray());
    EXPECT_TRUE(tray->isInTray());
    EXPECT_EQ(tray->shownTip(), "RP");
    EXPECT_EQ(tray->shownIcon().cacheKey(), pictures[1].cacheKey());
    EXPECT_FALSE(tray->AddToTray()) << "a second add of the same icon";

    // Once shown, a setter reaches the tray at once.
    tray->setTip("RP - Mirroring...");
    EXPECT_EQ(tray->shownTip(), "RP - Mirroring...");

    EXPECT_TRUE(tray->RemoveFromTray());
    EXPECT_FALSE(tray->isInTray());
    EXPECT_FALSE(tray->RemoveFromTray());
    EXPECT_FALSE(tray->NotifyTray(3));
}

TEST_F(TrayIconTest, EmptyIconShowsAStockPictureAndAnIconWithoutOwnerShowsNothing)
{
    ASSERT_TRUE(tray->Icon().isNull());
    ASSERT_TRUE(tray->AddToTray());
    EXPECT_FALSE(tray->shownIcon().isNull());

    TTrayIcon orphan(nullptr);
    EXPECT_FALSE(orphan.AddToTray());
    EXPECT_FALSE(orphan.isInTray());
}

TEST_F(TrayIconTest, RightClickWithAMenuFiresNoPressEvent)
{
    QMenu menu;
    tray->setPopupMenu(&menu);
    recordAll();
    activate(QSystemTrayIcon::Context);
    EXPECT_EQ(fired, Events {});
    EXPECT_EQ(tray->platformIcon()->contextMenu(), &menu);

    // Without a menu a right click is a press like any other.
    tray->setPopupMenu(nullptr);
    activate(QSystemTrayIcon::Context);
    EXPECT_EQ(fired, (Events { "down", "up" }));
}

TEST_F(TrayIconTest, ClicksFirePressThenReleaseAndDoubleClicksTheirOwnEvent)
{
    recordAll();
    activate(QSystemTrayIcon::Trigger);
    activate(QSystemTrayIcon::DoubleClick);
    activate(QSystemTrayIcon::MiddleClick);
    EXPECT_EQ(fired, (Events { "down", "up", "dblclick", "down", "up" }));

    // OnClick stands in for an unset OnMouseDown, never beside it.
    fired.clear();
    tray->OnMouseDown = nullptr;
    activate(QSystemTrayIcon::Trigger);
    EXPECT_EQ(fired, (Events { "click", "up" }));

    // Unset events are skipped.
    fired.clear();
    tray->OnClick = nullptr;
    tray->OnMouseUp = nullptr;
    tray->OnDblClick = nullptr;
    activate(QSystemTrayIcon::Trigger);
    activate(QSystemTrayIcon::DoubleClick);
    EXPECT_EQ(fired, Events {});
}

TEST_F(TrayIconTest, AClickThatClosesTheOwnerEndsQuietly)
{
    recordAll();
    tray->OnClick = [this](TTrayIcon&) { owner.reset(); };
    tray->OnMouseDown = nullptr;
    activate(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(tray.isNull());
    EXPECT_EQ(fired, Events {});
}

TEST(TrayPictures, IdleAndBusyDifferInColourAndLeaveTheCornersClear)
{
    const auto pictures = makeTrayPictures(QStringLiteral("RP"));
    const QImage idle = pictures[0].pixmap(32, 32).toImage();
    const QImage busy = pictures[1].pixmap(32, 32).toImage();
    ASSERT_EQ(idle.size(), QSize(32, 32));
    EXPECT_EQ(qAlpha(idle.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(idle.pixel(1, 16)), 255);
    EXPECT_NE(idle.pixel(1, 16), busy.pixel(1, 16));
}

} // namespace
