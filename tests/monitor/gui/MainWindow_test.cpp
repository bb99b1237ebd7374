// The window around the core: what a start shows, the File menu with its dialogs, the log
// controls, Open LOG, the export, and the close.

#include "WindowFixture.h"

#include "common/desktop/gui/TrayIcon.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QMenu>
#include <QToolButton>

TEST_F(WindowFixture, AStartWithoutADataFileShowsTheDesignState)
{
    open();
    // The caption exactly: a desktop appends a display name set by the program to every caption
    // ("Senvigil - <path> \u2014 SEN - SEN.INI"), so the task-bar text goes elsewhere.
    EXPECT_EQ(window->windowTitle().toStdString(), "Senvigil - " + ini.string());
    EXPECT_EQ(QApplication::applicationDisplayName(), QApplication::applicationName());
    EXPECT_EQ(window->windowIconText(), "SEN - SEN.INI");
    EXPECT_EQ(window->TrayIcon->Tip(), "SEN");
    EXPECT_TRUE(window->TrayIcon->isInTray());
    EXPECT_TRUE(window->actSaveOnExit->isChecked());
    EXPECT_FALSE(options->cbTimer->isChecked());
    EXPECT_EQ(options->ComboTimer->currentText(), "15");
    EXPECT_FALSE(options->cbLogFile->isChecked());
    EXPECT_EQ(options->cbLogFile->text(), "Write events to &log file: SEN.LOG");
    EXPECT_EQ(options->LogFileName->text().toStdString(), (dir / "SEN.LOG").string());
    EXPECT_FALSE(options->BtnAbort->isEnabled());
    EXPECT_EQ(pane->cbSort->currentIndex(), -1);
    EXPECT_EQ(window->Activity->toPlainText(), "");
    const int widths[] = { 150, 100, 50, 40, 50, 180, 80 };
    const char* captions[] = { "Host Name", "IP Address", "Service", "Port", "Status", "Last Attempt", "Uptime 24 h" };
    ASSERT_EQ(pane->model->columnCount(), 7);
    for (int column = 0; column < 7; ++column) {
        EXPECT_EQ(pane->DestList->columnWidth(column), widths[column]);
        EXPECT_EQ(pane->model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(), captions[column]);
    }
    EXPECT_EQ(window->btnMinimizeToTray->toolTip(), "Minimize to Tray");
}

TEST_F(WindowFixture, StatePicturesShowBesideTheCaption)
{
    open();
    addRow("a", "127.0.0.1");
    EXPECT_TRUE(pane->model->index(0, 0).data(Qt::DecorationRole).isNull());
    for (StateImage state : { StateImage::UnderTest, StateImage::OK, StateImage::Fail }) {
        window->controller().list().setState(0, state);
        const QIcon icon = pane->model->index(0, 0).data(Qt::DecorationRole).value<QIcon>();
        EXPECT_FALSE(icon.isNull());
        EXPECT_EQ(icon.availableSizes().value(0), QSize(16, 16));
    }
}

TEST_F(WindowFixture, TheDataFileLoadsIntoTheControlsAndCloseSavesIt)
{
    test::writeFile(ini,
        "[SEN]\r\nEnableTimer=1\r\nTimerInterval=30\r\nWindowLeft=40\r\nWindowTop=50\r\nWindowWidth=700\r\n"
        "WindowHeight=520\r\n[DestList]\r\nSortList=1\r\nDestCount=2\r\nNAME1=b\r\nIP1=127.0.0.2\r\n"
        "NAME2=a\r\nIP2=127.0.0.1\r\n");
    open();
    EXPECT_TRUE(options->cbTimer->isChecked());
    EXPECT_EQ(options->ComboTimer->currentText(), "30");
    EXPECT_EQ(window->size(), QSize(700, 520));
    EXPECT_EQ(pane->cbSort->currentIndex(), 1);
    EXPECT_EQ(pane->model->index(0, 0).data().toString(), "a");
    EXPECT_EQ(window->Activity->toPlainText().toStdString(), "Loading - " + ini.string());

    options->ComboTimer->setCurrentText("60");
    window->resize(640, 480);
    window->controller().settings().saveOnExit = true;
    EXPECT_TRUE(window->close());
    const std::string saved = test::readFile(ini);
    EXPECT_NE(saved.find("TimerInterval=60\r\n"), std::string::npos);
    EXPECT_NE(saved.find("WindowWidth=640\r\nWindowHeight=480\r\n"), std::string::npos);
    EXPECT_NE(saved.find("DestCount=2\r\n"), std::string::npos);
}

TEST_F(WindowFixture, AFailedSaveKeepsTheWindowOpen)
{
    const std::string path = (dir / "gone" / "net.SEN").string();
    open({ path });
    window->controller().settings().saveOnExit = true;
    EXPECT_FALSE(window->close());
    EXPECT_EQ(dialogs.messages, QStringList { QString::fromStdString("Unable to write to " + path) });
    window->actSaveOnExit->trigger(); // untick, and the close goes through
    EXPECT_FALSE(window->actSaveOnExit->isChecked());
    EXPECT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.messages[1].startsWith("Cannot set SaveOnExit value in file:\r"));
    EXPECT_TRUE(window->close());
}

TEST_F(WindowFixture, FileMenuDialogsChooseTheFiles)
{
    open();
    addRow("a", "127.0.0.1");
    const QString other = QString::fromStdString((dir / "office").string());
    dialogs.files["Save as SEN file"] = other; // the extension is added
    window->actSaveAs->trigger();
    EXPECT_EQ(window->controller().dataFile(), other.toStdString() + ".SEN");
    EXPECT_TRUE(fs::exists(other.toStdString() + ".SEN"));
    EXPECT_TRUE(dialogs.asked.last().endsWith("|SEN data file (*.SEN *.INI)"));

    dialogs.files["New SEN file"] = QString::fromStdString(ini.string());
    window->actNew->trigger();
    EXPECT_EQ(window->controller().list().count(), 0);
    EXPECT_TRUE(fs::exists(ini));

    dialogs.files["Open SEN file"] = other + ".SEN";
    window->actOpen->trigger();
    EXPECT_EQ(window->controller().list().count(), 1);
    EXPECT_EQ(window->windowTitle(), "Senvigil - " + other + ".SEN");
    EXPECT_TRUE(dialogs.questions.isEmpty());

    dialogs.files.clear(); // cancelled dialogs change nothing
    window->actOpen->trigger();
    window->actNew->trigger();
    EXPECT_EQ(window->controller().list().count(), 1);

    // Open takes a new name too, once the user agrees to create it; No changes nothing.
    const QString fresh = QString::fromStdString((dir / "fresh.SEN").string());
    dialogs.files["Open SEN file"] = fresh;
    dialogs.answer = false;
    window->actOpen->trigger();
    EXPECT_EQ(window->controller().list().count(), 1);
    dialogs.answer = true;
    window->actOpen->trigger();
    EXPECT_EQ(window->controller().list().count(), 0);
    EXPECT_EQ(window->windowTitle(), "Senvigil - " + fresh);
    EXPECT_EQ(dialogs.questions.last(), "Open SEN file|" + fresh + "\rThis file does not exist.\rCreate it?");
    EXPECT_EQ(dialogs.kinds.filter("Open SEN file|"), QStringList(4, "Open SEN file|any"));
}

TEST_F(WindowFixture, AdvancedEditingAsksAndReloads)
{
    test::writeFile(ini, "[DestList]\r\nDestCount=1\r\nNAME1=a\r\n");
    open();
    dialogs.answer = true;
    window->actAdvanced->trigger();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0], (std::vector<std::string> { "xdg-open", ini.string() }));
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(
        dialogs.questions[0].startsWith(QString::fromStdString("Advanced Configuration - " + ini.string() + "|")));
    EXPECT_EQ(window->controller().list().count(), 1);
}

TEST_F(WindowFixture, TheLogControlsFollowTheirRules)
{
    open();
    options->cbLogFile->click();
    EXPECT_TRUE(window->controller().log().enabled());
    EXPECT_TRUE(activityLines().last().startsWith("Log Enabled "));
    EXPECT_TRUE(fs::exists(dir / "SEN.LOG"));

    type(options->LogFileName, "x");
    EXPECT_FALSE(options->cbLogFile->isChecked());
    EXPECT_TRUE(activityLines().last().startsWith("Log Disabled "));
    type(options->LogFileName, "y");
    EXPECT_EQ(activityLines().filter("Log Disabled").size(), 1);

    dialogs.files["Browse for LOG file"] = QString::fromStdString((dir / "chosen").string());
    options->btnBrowse->click();
    EXPECT_EQ(options->LogFileName->text().toStdString(), (dir / "chosen.LOG").string());
    // Lines are appended to a log: choosing an existing one overwrites nothing, so nothing is asked.
    EXPECT_EQ(dialogs.kinds.last(), "Browse for LOG file|any");
    EXPECT_FALSE(options->cbLogFile->isChecked());
}

TEST_F(WindowFixture, OpenLogOffersItsMenuOnlyForAFileThatExists)
{
    open();
    options->btnOpenLog->click();
    EXPECT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].startsWith("File Not Found: "));
    EXPECT_FALSE(options->OpenLogMenu->isVisible());

    test::writeFile(dir / "SEN.LOG", "line\r\n");
    options->btnOpenLog->click();
    EXPECT_TRUE(options->OpenLogMenu->isVisible());
    const auto actions = options->OpenLogMenu->actions();
    ASSERT_EQ(actions.size(), 4);
    options->OpenLogMenu->hide();
    actions[0]->trigger();
    actions[2]->trigger();
    actions[3]->trigger();
    const std::string path = (dir / "SEN.LOG").string();
    EXPECT_EQ(started,
        (std::vector<std::vector<std::string>> {
            { "xdg-open", path }, { "x-terminal-emulator", "-e", "editor", path } }));
    EXPECT_EQ(fileManager.shown, std::vector<std::string> { path });
}

TEST_F(WindowFixture, ExportWritesTheChosenFile)
{
    open();
    addRow("gw", "127.0.0.1");
    dialogs.files["Export to Text"] = QString::fromStdString((dir / "list").string());
    window->actExport->trigger();
    EXPECT_TRUE(dialogs.asked.last().contains("/EXPORT.TXT|"));
    EXPECT_EQ(test::readFile(dir / "list.TXT"),
        "Host Name\tIP Address\tService\tPort\tStatus\tLast Attempt\r\ngw\t127.0.0.1\tPING\t\tna\tna\r\n");
    EXPECT_EQ(fileManager.shown, std::vector<std::string> { (dir / "list.TXT").string() });
}
