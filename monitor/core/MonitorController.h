#pragma once

// The monitor program's one owner object, driven by the window and the console front end
// alike. It owns MonitorSettings, the destination list, the event log, the current data file
// and the host look-up, hands references to whoever needs them, and carries out the data-file
// operations of the File menu, the list commands and the log commands. It reports through the
// core roles (activity pane, asker, tray indicator) and SettingsView.

#include "common/core/DesktopCommands.h"
#include "common/core/FileStamp.h"
#include "common/core/StartedPrograms.h"
#include "common/desktop/IniBatch.h"
#include "common/net/Ping.h"
#include "monitor/core/ActivityLines.h"
#include "monitor/core/AlertDispatcher.h"
#include "monitor/core/AlertSender.h"
#include "monitor/core/CommandLine.h"
#include "monitor/core/DestinationList.h"
#include "monitor/core/EventLog.h"
#include "monitor/core/FileManager.h"
#include "monitor/core/FrontEnd.h"
#include "monitor/core/HistoryStore.h"
#include "monitor/core/MonitorProbes.h"
#include "monitor/core/MonitorSettings.h"
#include "monitor/core/TestEngine.h"
#include "monitor/core/TrayStatus.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace monitor {

// The four ways "Open LOG" offers to show the log file.
enum class LogViewer
{
    DefaultProgram, // the desktop's opener
    Editor, // the user's editor
    TerminalEditor, // a text-mode editor in a terminal window
    FileManager, // the file manager with the file selected
};

class MonitorController
{
public:
    static constexpr const char* TrayTip = "SEN";
    static constexpr const char* DataFileFilter = "SEN data file (*.SEN *.INI)";
    // The installed program's package (packaging/CMakeLists.txt): its documents' folder.
    static constexpr const char* PackageName = "senvigil";

    MonitorController(std::string programPath, const FrontEnd& frontEnd);

    MonitorSettings& settings() { return m_settings; }
    DestinationList& list() { return m_list; }
    EventLog& log() { return m_log; }
    TestEngine& engine() { return m_engine; }
    TrayStatus& tray() { return m_tray; }
    ActivityLines& activity() { return m_activity; }
    // The result history and the status page.
    HistoryStore& history() { return m_history; }
    // The history file in use; empty when there is none.
    std::string historyFile() const;
    // The alert actions: mail, programs, keep-alive.
    AlertDispatcher& alerts() { return m_alerts; }
    const std::string& programPath() const { return m_programPath; }
    const std::string& dataFile() const { return m_dataFile; }
    // The data file's name without its folder.
    std::string dataFileName() const;
    bool dataFileExists() const;

    // The programs started by the default program starter, followed until they end.
    core::StartedPrograms& programs() { return m_programs; }

    // Seams for tests: how programs start, where the environment comes from, which file manager
    // shows a file. The desktop's own by default.
    void setProgramStarter(ProgramStarter starter) { m_starter = std::move(starter); }
    void setEnvironment(core::Environment environment) { m_environment = std::move(environment); }
    void setFileManager(FileManager* fileManager);
    // The alert actions the engine calls on a change of state; the program's own (alerts())
    // when null.
    void setAlertSender(AlertSender* sender);
    // The probes by service; this program's own (PING, TCP) when null.
    void setProbeFactory(ProbeFactory* probes);

    // The program's start up to its first activation: default data file, the command line's,
    // default log file, the data file's settings and alert actions, the tray icon.
    void start(const CommandLine& commandLine);
    // The data file a start with this command line works on.
    std::string startDataFile(const CommandLine& commandLine) const;
    // Once, after every window exists: the start-up line in the log, the start-up mail and
    // program, the keep-alive schedule; logging controls speak from now on.
    void StartupActions();
    // The close's first step: no test starts any more, the tests under way end without a
    // result, and the last pass's history page is finished.
    void endTests();
    // How the close's save went.
    enum class CloseSave
    {
        Saved,
        NotWanted, // "Save Settings on Exit" is off
        KeptChangedFile, // someone else changed the data file, and it was not overwritten
    };
    // The close's save, when "Save Settings on Exit" is set. A data file that someone else has
    // changed since this program last read or wrote it is overwritten only when
    // `overwriteChanged` says so (without a function, it is). A refused write throws.
    CloseSave saveOnClose(const std::function<bool()>& overwriteChanged = {});
    // "The data file <path> was changed by someone else since SEN read or saved it."
    std::string changedDataFileText() const;
    // Whether someone else has changed the data file since this program last read or wrote it:
    // created it, or written other settings or rows (dataFileShape); the states that another
    // SEN run on the file saves do not count, and neither does a file that is gone.
    bool dataFileChangedByOthers() const;
    // The close after its save: the shut-down line, mail and program.
    void ShutdownActions();
    // The close of the main window: endTests, then saveOnClose (a refused write throws, the
    // tests and the timer work again, and the
    // close must not go on), then ShutdownActions.
    CloseSave prepareClose(const std::function<bool()>& overwriteChanged = {});
    // A close must wait while a mail is on its way: the send waits in the event loop, and a
    // program that ends meanwhile would cut it (and the shut-down mail) short. Stops a test
    // pass, saves first (when "Save Settings on Exit" is set), gives the mails the close's
    // budget (AlertDispatcher::CloseMailBudget, shared with the shut-down mail) and runs `close`
    // again once they are out or dropped; false when the close may go on now.
    bool deferCloseForMail(std::function<void()> close);

    // The data file, loaded and saved as the mirror's settings are: load reads the sections
    // "SEN" and "DestList" (appending the stored rows), loadActions the section "Actions", save
    // writes all three.
    void SetDataFile(const std::string& path);
    void load();
    void loadActions();
    // Writes the whole file at once; throws desktop::EIniFileException when it cannot, and then
    // leaves the file as it was.
    void save();

    // The File menu, after the user confirmed a file where one is asked for.
    void openDataFile(const std::string& path);
    void saveDataFileAs(const std::string& path);
    void newDataFile(const std::string& path);
    void toggleSaveOnExit();
    void advancedEditing();
    // Reads the data file again as after advanced editing answered Yes, without saving first
    // (the file holds the user's edits): for a service manager's reload. Rows alike in host,
    // IP, service and port to rows of the list keep their status, last attempt and picture.
    // A data file that is not there is told ("File Not Found: ") and changes nothing; false then.
    bool reloadDataFile();
    // Opens a web or mail address with the desktop's opener, without waiting.
    void openAddress(const std::string& address);
    // Opens the program's read-me file (core::readMeFileFor) with the desktop's opener;
    // "File Not Found: " and the installed read-me's path when there is none.
    void openReadMeFile();

    // The list.
    void exportToText(const std::string& path);
    // Starts a look-up of `host` and reports through `done` (look-up error, dotted address),
    // later or at once; a pending look-up is replaced and never reports. Throws when it
    // cannot start. Works without ICMP permission: it opens no ICMP socket.
    void DnsLookup(const std::string& host, std::function<void(uint16_t error, const std::string& address)> done);
    // Forgets a pending look-up without reporting it: whoever waited for it is going away.
    void dropDnsLookup();

    // The log: "Open LOG" first takes the path box's text and checks that the file exists
    // ("File Not Found: " otherwise); then one of the viewers shows it.
    bool prepareOpenLog();
    void openLog(LogViewer viewer);

private:
    desktop::IniBatch::Readers savedReaders() const;
    void afterLoad();
    // Points the history at the files the settings name now.
    void applyHistoryFiles();
    int launch(const std::vector<std::string>& command);

    std::string m_programPath;
    FrontEnd m_frontEnd;
    MonitorSettings m_settings;
    ActivityLines m_activity;
    DestinationList m_list;
    EventLog m_log;
    AlertDispatcher m_alerts;
    TrayStatus m_tray;
    MonitorProbes m_ownProbes;
    net::TPing m_ping;
    std::string m_dataFile;
    core::FileStamp m_dataFileSeen; // the data file as this program last read or wrote it
    std::optional<std::string> m_dataFileShape; // and its dataFileShape; none: there was no file
    core::StartedPrograms m_programs;
    bool m_savedBeforeMail = false; // by the close that is under way
    ProgramStarter m_starter;
    core::Environment m_environment;
    std::unique_ptr<FileManager> m_ownFileManager;
    FileManager* m_fileManager;
    HistoryStore m_history;
    // Last: it holds references to everything above.
    TestEngine m_engine;
};

} // namespace monitor
