// The window's settings side: what a start shows and what a close writes.

#include "WindowFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>

TEST_F(WindowFixture, WithoutASettingsFileTheDefaultsShow)
{
    open();
    auto* page = window->settingsPage;
    EXPECT_EQ(window->windowTitle(), TForm1::Caption);
    EXPECT_EQ(window->size(), QSize(640, 480));
    EXPECT_FALSE(page->chkAutoPilot->isChecked());
    EXPECT_EQ(page->cbTimer->currentText(), "60");
    EXPECT_TRUE(page->rbMove->isChecked());
    EXPECT_FALSE(page->LogFileEnable->isChecked());
    EXPECT_EQ(page->LogFileName->text().toStdString(), program.string() + ".LOG");
    EXPECT_EQ(page->FolderList->count(), 0);
    EXPECT_EQ(window->pages->currentIndex(), 0);
    EXPECT_EQ(page->SettingsFile->text().toStdString(), "Settings File: " + ini.string());
    EXPECT_FALSE(window->btnStop->isEnabled());
    EXPECT_EQ(window->btnMinimizeToTray->toolTip(), "Minimize to Tray");
    EXPECT_EQ(window->btnMinimizeToTray->toolTipDuration(), 5000);
    EXPECT_EQ(window->btnMinimizeToTray->x(), window->width() - 44);
}

TEST_F(WindowFixture, FolderListEditsReachTheSavedFile)
{
    writeIni("ActivePageStatus=1\r\n");
    open();
    EXPECT_EQ(window->pages->currentIndex(), 1);
    auto* page = window->settingsPage;
    ASSERT_EQ(page->FolderList->count(), 1);

    page->Edit1->setText("/data/a");
    page->Edit2->setText("/backup/a");
    page->btnAdd->click();
    page->Edit1->clear();
    page->btnAdd->click(); // an empty box adds nothing
    ASSERT_EQ(page->FolderList->count(), 2);
    page->FolderList->setCurrentRow(1);
    page->btnUp->click();
    EXPECT_EQ(page->FolderList->currentRow(), 0);
    page->FolderList->item(0)->setCheckState(Qt::Unchecked);
    page->rbDel->click();
    page->LogFileEnable->click();
    page->SmtpServer->setText("127.0.0.1");
    page->SmtpSecurity->setCurrentIndex(1);
    page->SmtpUser->setText("rpl");
    page->SmtpPasswordFile->setText("smtp-password");
    window->pages->setCurrentIndex(0);
    window->close();

    const std::string saved = test::readFile(ini);
    EXPECT_NE(saved.find("FolderCount=2\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Folder0=-/data/a >> /backup/a\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Folder1=+" + source.string() + " >> " + destination.string() + "\r\n"), std::string::npos);
    EXPECT_NE(saved.find("DelOption=1\r\n"), std::string::npos);
    EXPECT_NE(saved.find("LogFileEnable=1\r\n"), std::string::npos);
    EXPECT_NE(saved.find("SmtpServer=127.0.0.1\r\n"), std::string::npos);
    EXPECT_NE(saved.find("SmtpPort=\r\nSmtpSecurity=STARTTLS\r\nSmtpUser=rpl\r\nSmtpPassword=\r\n"
                         "SmtpPasswordFile=smtp-password\r\nSmtpTrustFile=\r\n"),
        std::string::npos)
        << saved;
    EXPECT_NE(saved.find("ActivePageStatus=0\r\n"), std::string::npos);

    // Remove takes the selected entry without asking.
    open();
    window->settingsPage->FolderList->setCurrentRow(0);
    window->settingsPage->btnRemove->click();
    EXPECT_EQ(window->settingsPage->FolderList->count(), 1);
}

TEST_F(WindowFixture, FolderButtonsFillTheBoxesFromTheDialog)
{
    open();
    auto* page = window->settingsPage;
    dialogs.folderAnswer = "/chosen/source";
    page->btnSource->click();
    dialogs.folderAnswer = "";
    page->Edit2->setText("kept");
    page->btnDestination->click();
    EXPECT_EQ(page->Edit1->text(), "/chosen/source");
    EXPECT_EQ(page->Edit2->text(), "kept"); // cancelled
    EXPECT_EQ(dialogs.folderTitles, (QStringList{"Source Path:", "Destination Path:"}));
    dialogs.logFileAnswer = "/var/log/rpl.log";
    page->btnLogFile->click();
    EXPECT_EQ(page->LogFileName->text(), "/var/log/rpl.log");
    // A log is appended to: choosing an existing one overwrites nothing, so nothing is asked.
    EXPECT_EQ(dialogs.anyTitles, QStringList { "Log File Name" });
}

TEST_F(WindowFixture, TraySwitchesPicturesAndTipsDuringAPair)
{
    writeIni();
    open();
    std::vector<std::string> tips;
    duringRun([&] { tips.push_back(window->TrayIcon->Tip()); });
    window->btnStart->click();
    ASSERT_EQ(tips.size(), 1u);
    EXPECT_EQ(tips[0], "RP - Mirroring...");
    EXPECT_EQ(window->TrayIcon->Tip(), "RP");
}
