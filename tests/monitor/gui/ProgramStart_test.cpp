// The program's start and close with its window: the startup line and mail before the window
// first shows, "/TRAY", the close from the tray menu, "Save Settings on Exit" either way, a save
// that fails; the menus, the Help items, the read-me window and the minimise-to-tray button.

#include "WindowFixture.h"

#include "common/desktop/gui/ReadMeWindow.h"
#include "common/desktop/gui/TrayIcon.h"
#include "monitor/core/DataFile.h"
#include "monitor/gui/WindowStart.h"
#include "tests/net/SmtpServerFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QToolButton>

#include <sstream>

namespace {

using Lines = std::vector<std::string>;

struct ProgramStart : WindowFixture
{
    fs::path data = dir / "net.SEN";
    fs::path logFile = dir / "net.LOG";

    // The start as main() runs it, with the seams set before the startup actions.
    void startProgram(const std::vector<std::string>& arguments, const std::function<void(TForm1&)>& beforeStartup = {})
    {
        window.reset();
        window = startMainWindow(program.string(), parseCommandLine(withProgram(arguments)), &dialogs, [&](TForm1& w) {
            w.controller().setProgramStarter([this, &w](const std::vector<std::string>& command) {
                started.push_back(command);
                visibleAtStart.push_back(w.isVisible());
                logAtStart.push_back(logLines());
                return 0;
            });
            w.controller().setFileManager(&fileManager);
            w.controller().setEnvironment([](const std::string&) { return std::nullopt; });
            if (beforeStartup)
                beforeStartup(w);
        });
        QApplication::setActiveWindow(window.get());
        pane = window->destinationPane;
        options = window->optionsPane;
        settle();
    }

    // An executable script in the test's folder, for the start and close programs.
    std::string script(const std::string& name)
    {
        const fs::path path = dir / name;
        test::writeFile(path, "#!/bin/sh\n");
        fs::permissions(path, fs::perms::owner_all);
        return path.string();
    }

    void writeData(const std::string& actions = "")
    {
        test::writeFile(data,
            "[SEN]\r\nLogFile=1\r\nLogFileName=" + logFile.string() + "\r\n[Actions]\r\n" + actions
                + "[DestList]\r\nDestCount=1\r\nNAME1=gw\r\nIP1=127.0.0.1\r\n");
    }

    // The log's lines without the date-time text at their end.
    Lines logLines() const
    {
        static const QRegularExpression stamp(
            QStringLiteral(R"( \d{1,2}/\d{1,2}/\d{2}( \d{1,2}:\d{2}:\d{2} [AP]M)?$)"));
        Lines lines;
        std::istringstream in(test::readFile(logFile));
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(QString::fromStdString(line).remove(stamp).toStdString());
        }
        return lines;
    }

    std::vector<bool> visibleAtStart;
    std::vector<Lines> logAtStart;
};

} // namespace

TEST_F(ProgramStart, StartupLineMailAndProgramComeBeforeTheWindowShows)
{
    test::SmtpServerFixture server;
    ASSERT_TRUE(server.started());
    writeData("SMTPServer=127.0.0.1\r\nEmailAddress=admin@office.test\r\nFromAddress=sen@office.test\r\n"
              "StartEmail=1\r\nStartRun=1\r\nStartCommand="
        + script("started.sh") + "\r\n");
    startProgram({ data.string() }, [&](TForm1& w) {
        EXPECT_FALSE(w.isVisible());
        EXPECT_FALSE(w.ReadMe->isVisible());
        w.controller().settings().actions.smtpPort = std::to_string(server.port());
    });

    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0][0], (dir / "started.sh").string());
    EXPECT_FALSE(visibleAtStart[0]);
    EXPECT_EQ(logAtStart[0], (Lines { "", "SEN StartUp net.SEN", "* Send Mail OK: SEN StartUp net.SEN" }));
    const std::string message = server.waitForMessage(1);
    ASSERT_FALSE(message.empty());
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(window->windowTitle().toStdString(), "Senvigil - " + data.string());
    EXPECT_EQ(pane->ServiceInput->currentText(), "PING");
    EXPECT_TRUE(window->TrayIcon->isInTray());
    EXPECT_EQ(window->TrayIcon->Tip(), "SEN");
}

TEST_F(ProgramStart, TrayStartLeavesOnlyTheTrayIconAfterTheStartupActions)
{
    writeData("StartRun=1\r\nStartCommand=" + script("started.sh") + "\r\n");
    startProgram({ "/tRaY", data.string() });
    ASSERT_EQ(visibleAtStart, std::vector<bool> { false });
    EXPECT_TRUE(window->TrayIcon->isInTray());
    // Without a tray on this desktop the window is minimised instead: never out of reach.
    if (desktop::TTrayIcon::available())
        EXPECT_FALSE(window->isVisible());
    else
        EXPECT_TRUE(window->isMinimized());

    // Only the first activation hides the window.
    window->RestoreFromTray();
    QApplication::setActiveWindow(window.get());
    settle();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
}

TEST_F(ProgramStart, TrayMenuCloseRestoresThenRunsTheClose)
{
    const std::string closing = script("closed.sh");
    writeData("CloseRun=1\r\nCloseCommand=" + closing + "\r\n");
    startProgram({ data.string() });
    window->MinimizeToTray();
    settle();
    QMenu* menu = window->TrayIcon->PopupMenu();
    ASSERT_NE(menu, nullptr);
    const auto items = menu->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->text(), "SEN");
    EXPECT_TRUE(items[0]->font().bold());
    EXPECT_EQ(menu->defaultAction(), items[0]);
    EXPECT_EQ(items[1]->text(), "Close");

    items[0]->trigger();
    EXPECT_TRUE(window->isVisible());
    window->MinimizeToTray();
    items[1]->trigger();
    settle();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->TrayIcon->isInTray());
    // Restored before the close, and the close sequence in its order.
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0][0], closing);
    EXPECT_TRUE(visibleAtStart[0]);
    EXPECT_EQ(logAtStart[0], (Lines { "", "SEN StartUp net.SEN", "SEN ShutDown net.SEN" }));
    EXPECT_NE(test::readFile(data).find("CloseCommand=" + closing + "\r\n"), std::string::npos);
    EXPECT_NE(test::readFile(data).find("VersionInfo="), std::string::npos);
}

TEST_F(ProgramStart, SaveOnExitDecidesWhetherTheCloseWritesTheDataFile)
{
    for (const bool save : { true, false }) {
        writeData();
        startProgram({ data.string() });
        if (!save)
            window->actSaveOnExit->trigger(); // stored at once
        const std::string before = test::readFile(data);
        addRow("added", "127.0.0.2");
        ASSERT_TRUE(window->close());
        const std::string after = test::readFile(data);
        EXPECT_EQ(after.find("NAME2=added") != std::string::npos, save);
        if (!save) {
            EXPECT_EQ(after, before);
        }
        // The shut-down line either way, after the save.
        EXPECT_EQ(logLines().back(), "SEN ShutDown net.SEN") << save;
        EXPECT_EQ(activityLines().contains("Saving - " + QString::fromStdString(data.string())), save);
        window.reset();
        fs::remove(logFile);
    }
}

TEST_F(ProgramStart, AFailedSaveKeepsTheWindowOpenWithoutTheShutdownLine)
{
    const fs::path gone = dir / "gone" / "net.SEN";
    startProgram({ gone.string() });
    options->cbLogFile->click();
    ASSERT_TRUE(fs::exists(dir / "SEN.LOG"));
    const std::string logBefore = test::readFile(dir / "SEN.LOG");

    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(dialogs.messages.last().toStdString(), "Unable to write to " + gone.string());
    EXPECT_EQ(test::readFile(dir / "SEN.LOG"), logBefore);
    // The program goes on: tests and the timer work as before.
    addRow("gw", "127.0.0.1");
    EXPECT_TRUE(window->controller().engine().TestDestination(0));
    window->controller().engine().stopForClose();

    window->actSaveOnExit->trigger();
    EXPECT_TRUE(window->close());
    EXPECT_NE(test::readFile(dir / "SEN.LOG").find("SEN ShutDown net.SEN "), std::string::npos);
}

TEST_F(ProgramStart, MenusHoldTheirItemsAndSeparators)
{
    startProgram({});
    const auto shape = [](QMenu* menu) {
        QStringList items;
        for (QAction* action : menu->actions())
            items << (action->isSeparator() ? QStringLiteral("-") : action->text());
        return items.join(QLatin1Char('|'));
    };
    EXPECT_EQ(shape(window->FileMenu),
        "Open SEN file...|Save as SEN file...|New SEN file...|-|Save Settings on Exit|Save Settings Now|-|Quit");
    EXPECT_EQ(shape(window->OptionsMenu), "Configure Alert Actions...|Advanced SEN/INI editing");
    EXPECT_EQ(shape(window->ListMenu), "Add to list|Remove from list|-|Export to Text");
    EXPECT_EQ(shape(window->TestMenu), "Test &Selected|Test &All");
    // A build that names no maintainers' address has no mail item.
    EXPECT_EQ(shape(window->HelpMenu), "ReadMe|-|SEN Documentation");
    EXPECT_EQ(window->actMail, nullptr);
    EXPECT_TRUE(window->actSaveOnExit->isCheckable());

    // The documentation is the read-me file, opened with the desktop's opener.
    window->actDocumentation->trigger();
    EXPECT_TRUE(started.empty());
    EXPECT_EQ(dialogs.messages.last().toStdString(),
        "File Not Found: " + dir.path().parent_path().string() + "/share/doc/senvigil/README.md");
    test::writeFile(dir / "README.md", "# SEN\n");
    window->actDocumentation->trigger();
    EXPECT_EQ(started, (std::vector<std::vector<std::string>> { { "xdg-open", (dir / "README.md").string() } }));
}

// The close does not overwrite unasked a data file edited by hand while SEN ran: No keeps the
// edit and closes, Yes overwrites.
TEST_F(ProgramStart, TheCloseAsksBeforeOverwritingADataFileEditedMeanwhile)
{
    for (const bool overwrite : { false, true }) {
        writeData();
        startProgram({ data.string() });
        addRow("added", "127.0.0.2");
        std::string edited = test::readFile(data);
        edited.replace(edited.find("NAME1=gw"), 8, "NAME1=edited by hand");
        test::writeFile(data, edited);
        dialogs.questions.clear();
        dialogs.answer = overwrite;
        EXPECT_TRUE(window->close());
        ASSERT_EQ(dialogs.questions.size(), 1);
        EXPECT_EQ(dialogs.questions[0].toStdString(),
            "Save Settings on Exit|The data file " + data.string()
                + " was changed by someone else since SEN read or saved it.\r\rDo you want SEN to overwrite it "
                  "with its settings?");
        EXPECT_EQ(test::readFile(data).find("NAME2=added") != std::string::npos, overwrite);
        EXPECT_EQ(test::readFile(data) == edited, !overwrite);
        EXPECT_EQ(logLines().back(), "SEN ShutDown net.SEN");
        window.reset();
    }
}

TEST_F(ProgramStart, OneReadMeWindowEditableAndDeafToEscape)
{
    startProgram({});
    EXPECT_FALSE(window->ReadMe->isVisible());
    options->btnReadMe->click();
    window->actReadMe->trigger();
    options->btnReadMe->click();
    settle();
    int readMes = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        readMes += qobject_cast<desktop::TReadMe*>(widget) && widget->isVisible() ? 1 : 0;
    EXPECT_EQ(readMes, 1);
    desktop::TReadMe* readMe = window->ReadMe;
    EXPECT_EQ(readMe->windowTitle(), "SEN - ReadMe");
    EXPECT_EQ(readMe->size(), QSize(621, 421));
    QPlainTextEdit* memo = readMe->Memo1();
    EXPECT_EQ(memo->font().pixelSize(), 13);
    EXPECT_FALSE(memo->isReadOnly());
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_TRUE(memo->toPlainText().startsWith(QString::fromLatin1(VersionInfo) + "\n"));

    const QString text = memo->toPlainText();
    QTest::keyClick(memo, Qt::Key_Escape);
    EXPECT_TRUE(readMe->isVisible());
    EXPECT_EQ(memo->toPlainText(), text);
    memo->moveCursor(QTextCursor::Start);
    QTest::keyClicks(memo, "typed ");
    EXPECT_TRUE(memo->toPlainText().startsWith("typed SEN - Senvigil"));

    // Closing only hides it; asked again it is the same window.
    readMe->close();
    EXPECT_FALSE(readMe->isVisible());
    window->actReadMe->trigger();
    EXPECT_TRUE(readMe->isVisible());
    EXPECT_EQ(window->ReadMe, readMe);
}

TEST_F(ProgramStart, TheMinimiseToTrayButtonKeepsToTheRightEdge)
{
    startProgram({});
    for (const int width : { 606, 900, 420 }) {
        window->resize(width, 425);
        settle();
        EXPECT_EQ(window->btnMinimizeToTray->geometry().right() + 1, window->width() - 2) << width;
    }
    window->btnMinimizeToTray->click();
    settle();
    EXPECT_TRUE(desktop::TTrayIcon::available() ? !window->isVisible() : window->isMinimized());
}
