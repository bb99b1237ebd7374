// Runs driven through the window as a user would: Start, Stop, Escape, closing, the timer.

#include "WindowFixture.h"

#include "common/desktop/gui/ReadMeWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

TEST_F(WindowFixture, StartMirrorsAndReturnsToIdle)
{
    writeIni();
    open();
    bool busySeen = false;
    duringRun([&] {
        busySeen = !window->btnStart->isEnabled() && window->btnStop->isEnabled() && QApplication::overrideCursor()
            && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    });
    window->btnStart->click();
    EXPECT_TRUE(busySeen);
    EXPECT_EQ(copiedFiles(), 40);
    EXPECT_TRUE(window->btnStart->isEnabled());
    EXPECT_FALSE(window->btnStop->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(summary().startsWith(QString::fromStdString(source.string() + "  ==>  " + destination.string())));
    EXPECT_TRUE(summary().contains("Mirror Ended on "));
    EXPECT_EQ(window->statusPage->StatLine->text(), QString());
    EXPECT_EQ(window->settingsPage->Edit1->text().toStdString(), source.string());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(WindowFixture, StopAnsweredCancelAbortsTheRun)
{
    writeIni();
    open();
    dialogs.answerOk = false;
    duringRun([&] { window->btnStop->click(); });
    window->btnStart->click();
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_EQ(dialogs.questions[0], "Program Paused|The program is paused now.\rContinue operation?");
    EXPECT_EQ(dialogs.messages, QStringList { " *** ERROR! Aborted by user!" });
    EXPECT_LT(copiedFiles(), 40);
    EXPECT_TRUE(summary().endsWith("Mirror Ended on " + summary().section("Mirror Ended on ", -1)));
    EXPECT_TRUE(window->btnStart->isEnabled());
}

TEST_F(WindowFixture, StopAnsweredOkGoesOn)
{
    writeIni();
    open();
    duringRun([&] { window->btnStop->click(); });
    window->btnStart->click();
    EXPECT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(copiedFiles(), 40);
}

TEST_F(WindowFixture, EscapePressesStopWhileBusyAndCloseWhenIdle)
{
    writeIni();
    open();
    duringRun([&] { QTest::keyClick(window.get(), Qt::Key_Escape); });
    window->btnStart->click();
    EXPECT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(window->isVisible());

    QTest::keyClick(window.get(), Qt::Key_Escape);
    settle();
    EXPECT_FALSE(window->isVisible());
    EXPECT_NE(test::readFile(ini).find("Version=20"), std::string::npos);
}

TEST_F(WindowFixture, AutoPilotTickDuringARunIsIgnored)
{
    writeIni();
    open();
    duringRun([&] { window->controller().AutoPilotTimer(); });
    window->btnStart->click();
    EXPECT_EQ(summary().count("Mirror Started on "), 1);
    // Idle, the tick starts a run of its own.
    fs::remove(destination / "f1.txt");
    window->controller().AutoPilotTimer();
    EXPECT_TRUE(fs::exists(destination / "f1.txt"));
}

TEST_F(WindowFixture, ClosingDuringARunStopsItAndSaves)
{
    writeIni();
    open();
    duringRun([&] { window->close(); });
    window->btnStart->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_LT(copiedFiles(), 40);
    EXPECT_TRUE(dialogs.messages.isEmpty()); // no question on close
    const std::string saved = test::readFile(ini);
    EXPECT_NE(saved.find("Version=20"), std::string::npos);
    EXPECT_NE(saved.find("Folder0=+" + source.string()), std::string::npos);
}

TEST_F(WindowFixture, BatchRunsOnceNeverSavesAndNeverArmsTheTimer)
{
    writeIni("AutoPilotEnabled=1\r\nAutoPilotInterval=30\r\n");
    const std::string before = test::readFile(ini);
    open({ "/batch" });
    EXPECT_EQ(copiedFiles(), 40);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->controller().autoPilotActive());
    // The caption exactly: a display name set by the program would be appended to it.
    EXPECT_EQ(window->windowTitle(), "RP Batch mode: RPL /batch");
    EXPECT_EQ(window->windowIconText().toStdString(), "RPL /batch");
    EXPECT_EQ(QApplication::applicationDisplayName().toStdString(), QApplication::applicationName().toStdString());
    EXPECT_EQ(test::readFile(ini), before);
}

TEST_F(WindowFixture, SwitchAfterAMinusSignIsNoSwitch)
{
    writeIni();
    open({ "-BATCH" });
    EXPECT_EQ(copiedFiles(), 0);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(WindowFixture, TrayStartWithoutATrayMinimisesInstead)
{
    writeIni();
    open({ "/Tray" });
    settle();
    EXPECT_TRUE(window->isMinimized() || !window->isVisible());
    if (!desktop::TTrayIcon::available()) {
        EXPECT_TRUE(window->isVisible()); // never out of reach
    }
    window->RestoreFromTray();
    window->activateWindow();
    settle();
    EXPECT_FALSE(window->isMinimized()); // later activations leave it alone
}

TEST_F(WindowFixture, AutoPilotIsArmedFromTheBoxAndByEveryRun)
{
    writeIni();
    open();
    auto* box = window->settingsPage->chkAutoPilot;
    auto* interval = window->settingsPage->cbTimer;
    EXPECT_FALSE(interval->isEnabled());
    EXPECT_EQ(interval->toolTip(), "Auto Pilot Disabled");
    box->click();
    EXPECT_TRUE(interval->isEnabled());
    EXPECT_TRUE(window->controller().autoPilotActive());
    EXPECT_EQ(window->controller().autoPilotIntervalMs(), 60 * 60000);
    EXPECT_TRUE(interval->toolTip().startsWith("Next Time: "));
    interval->setEditText("abc");
    EXPECT_FALSE(window->controller().autoPilotActive());
    EXPECT_EQ(interval->toolTip(), "Auto Pilot Disabled");
    interval->setEditText("0");
    EXPECT_EQ(interval->toolTip(), "Auto Pilot Disabled");
    interval->setEditText("30");
    EXPECT_EQ(window->controller().autoPilotIntervalMs(), 30 * 60000);
    window->btnStart->click();
    EXPECT_TRUE(window->controller().autoPilotActive()); // the run restarted the countdown
}

TEST_F(WindowFixture, F1ShowsOneReadMeWindow)
{
    writeIni();
    open();
    QTest::keyClick(window.get(), Qt::Key_F1);
    window->btnReadMe->click();
    settle();
    EXPECT_TRUE(window->ReadMe->isVisible());
    int readMes = 0;
    for (QWidget* top : QApplication::topLevelWidgets())
        readMes += top->isVisible() && top->windowTitle() == "RPL - ReadMe";
    EXPECT_EQ(readMes, 1);
}

TEST_F(WindowFixture, CloseStaysOpenWhenTheSettingsCannotBeSaved)
{
    writeIni();
    open();
    fs::remove(ini);
    fs::create_directories(ini); // a folder where the file should be
    window->close();
    settle();
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].startsWith("Unable to write to "));
    fs::remove(ini);
}

TEST_F(WindowFixture, ProgressFillsTheBarAndRestorePutsTheSelectedPairsRunBack)
{
    writeIni("Exclude0=f3*.txt\r\n");
    open();
    window->btnStart->click();
    EXPECT_EQ(copiedFiles(), 29); // f3.txt and f30.txt to f39.txt are left out
    EXPECT_EQ(window->statusPage->ProgressBar->value(), 1000);
    EXPECT_TRUE(window->statusPage->ProgressCounts->text().startsWith(QStringLiteral("29 files, 29 items, ")))
        << window->statusPage->ProgressCounts->text().toStdString();

    fs::remove(source / "f1.txt");
    window->btnStart->click();
    ASSERT_FALSE(fs::exists(destination / "f1.txt"));
    dialogs.itemAnswer = 0;
    window->btnRestoreClick(); // nothing selected yet
    EXPECT_EQ(dialogs.messages.size(), 1);
    window->settingsPage->FolderList->setCurrentRow(0);
    window->btnRestoreClick();
    ASSERT_EQ(dialogs.offeredItems.size(), 1);
    EXPECT_TRUE(dialogs.offeredItems[0].endsWith(QStringLiteral(" 1 items")));
    EXPECT_EQ(test::readFile(destination / "f1.txt"), "file 1");
    EXPECT_TRUE(window->statusPage->Activity->toPlainText().contains(
        QString::fromStdString(" * Restored " + (destination / "f1.txt").string())));
}
