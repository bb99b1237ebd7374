#pragma once

// The monitor's main window: the destination list on top, the options and the activity pane
// below, the main menu, the minimise-to-tray button and the tray icon. It shows what the
// controller reports and forwards the user's commands; the rules live in monitor_core.

#include "common/core/ActivityOutlet.h"
#include "common/core/Asker.h"
#include "common/core/RunIndicator.h"
#include "monitor/core/CommandLine.h"
#include "monitor/core/MonitorController.h"
#include "monitor/core/SettingsView.h"
#include "monitor/core/TestView.h"

#include <QMainWindow>

#include <memory>

class QAction;
class QMenu;
class QPlainTextEdit;
class QToolButton;

namespace desktop {
class Dialogs;
class TReadMe;
class TTrayIcon;
class TrayPictureSwitcher;
} // namespace desktop

namespace monitor {

class DestinationPane;
class OptionsPane;
class TForm2;

class TForm1 final : public QMainWindow,
                     public core::ActivityOutlet,
                     public core::Asker,
                     public core::RunIndicator,
                     public SettingsView,
                     public TestView
{
    Q_OBJECT
public:
    static constexpr const char* DesignCaption = "Senvigil";
    // The maintainers' mail address the build names (SEN_MAINTAINER_MAIL); the Help menu has
    // its mail item only when there is one.
    static constexpr const char* MaintainerMail = SEN_MAINTAINER_MAIL;

    // Creates the window as the program's start does, up to and without the startup actions:
    // the data file and the command line, the log file, the settings, the test timer, the
    // service choice, the tray icon, the alert-actions dialog with its values, the read-me
    // window (hidden). startMainWindow (WindowStart.h) is the whole start.
    // `dialogs` answers message boxes and file choices; the desktop's own when null.
    TForm1(const std::string& programPath, const CommandLine& commandLine, desktop::Dialogs* dialogs = nullptr);
    ~TForm1() override;

    MonitorController& controller() { return m_controller; }

    // File menu
    void OpenClick();
    void SaveAsClick();
    void NewClick();
    void SaveNowClick();
    void SaveOnExitClick();
    void AdvancedClick();
    // List menu
    void ExportClick();
    // "&Configure Alert Actions..." and the Options menu's "Configure Alert Actions...".
    void ConfigureClick();
    // Test menu "Test Selected" and a double click on the list: the selected row with the
    // lowest index, nothing when none is selected.
    void TestSelectedClick();
    // "Read&Me" and the Help menu's "ReadMe": one read-me window, however often asked.
    void btnReadMeClick();

    void MinimizeToTray();
    void RestoreFromTray();

    // core::ActivityOutlet
    void appendActivityLine(const std::string& line) override;
    void setActivityText(const std::string& text) override;
    // core::Asker
    void showMessage(const std::string& text) override;
    bool askOkCancel(const std::string& title, const std::string& text) override;
    bool askYesNo(const std::string& title, const std::string& text) override;
    // core::RunIndicator
    void setBusy(bool busy) override;
    void setTrayState(core::TrayState state, const std::string& tip) override;
    // SettingsView
    void showDataFile(const std::string& path) override;
    void showSettings() override;
    // TestView
    void showTimerHint(const std::string& hint) override;
    void showTesting(bool testing) override;
    bool isForeground() const override;

    DestinationPane* destinationPane;
    OptionsPane* optionsPane;
    QPlainTextEdit* Activity;
    QToolButton* btnMinimizeToTray;
    desktop::TTrayIcon* TrayIcon;
    // The alert-actions dialog, hidden until the configure command shows it.
    TForm2* actionsDialog;
    // The read-me window, hidden until asked for; closing it only hides it.
    desktop::TReadMe* ReadMe;

    QMenu* FileMenu;
    QMenu* OptionsMenu;
    QMenu* ListMenu;
    QMenu* TestMenu;
    QMenu* HelpMenu;
    QAction* actOpen;
    QAction* actSaveAs;
    QAction* actNew;
    QAction* actSaveOnExit;
    QAction* actSaveNow;
    QAction* actQuit;
    QAction* actConfigure;
    QAction* actAdvanced;
    QAction* actAddToList;
    QAction* actRemoveFromList;
    QAction* actExport;
    QAction* actTestSelected;
    QAction* actTestAll;
    QAction* actReadMe;
    QAction* actDocumentation;
    QAction* actMail = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void buildMenus();
    QWidget* buildActivityPane();
    void storePlacement();
    // Runs a command whose errors no handler takes (a data file that cannot be written) and
    // shows them, as the program's top-level error display does.
    void guarded(const std::function<void()>& command);
    QString dataFileFolder() const;

    std::unique_ptr<desktop::Dialogs> m_ownDialogs;
    desktop::Dialogs& m_dialogs;
    CommandLine m_commandLine;
    MonitorController m_controller;
    std::unique_ptr<desktop::TrayPictureSwitcher> m_tray;
    bool m_firstActivation = true;
    bool m_placing = false;
    bool m_closed = false;
    bool m_busyPointer = false;
};

} // namespace monitor
