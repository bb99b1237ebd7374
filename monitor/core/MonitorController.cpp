#include "monitor/core/MonitorController.h"

#include "common/core/LockedFile.h"
#include "common/core/ProgramLauncher.h"
#include "common/core/ProgramPaths.h"
#include "common/desktop/IniBatch.h"
#include "monitor/core/DataFile.h"
#include "monitor/core/ExportText.h"

#include <filesystem>
#include <sys/stat.h>

namespace monitor {

namespace {

bool isRegularFile(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string advancedEditingText(const std::string& path)
{
    return "SEN uses INI files conventions for data and configuration.\r"
           "Some advanced settings like TTL and TimeOut are configurable only with manual editing.\r"
           "SEN normaly loads configuration at startup or file-open, and saves on exit or file-save.\r"
        + path + " should now be open in NotePad.\r"
        + "If you have made maunual changes, you must tell SEN to reload them.\r\r"
        + "Do you want SEN to reload the configuration file\r" + path + "?";
}

} // namespace

MonitorController::MonitorController(std::string programPath, const FrontEnd& frontEnd)
    : m_programPath(std::move(programPath))
    , m_frontEnd(frontEnd)
    , m_activity(frontEnd.activity)
    , m_log(m_settings, m_activity, m_programPath)
    , m_alerts(AlertDispatcher::Parts { m_settings, m_list, m_log, m_activity, frontEnd.asker })
    , m_tray(frontEnd.indicator, [this] { return m_frontEnd.tests.isForeground(); })
    , m_ownProbes(m_settings)
    , m_dataFile(core::settingsPathFor(m_programPath))
    , m_starter([this](const std::vector<std::string>& command) { return m_programs.start(command); })
    , m_environment(core::processEnvironment())
    , m_ownFileManager(std::make_unique<DesktopFileManager>(
          [this](const std::vector<std::string>& command) { return m_starter(command); }))
    , m_fileManager(m_ownFileManager.get())
    , m_history(m_list,
          [this](const std::string& line) {
              m_activity.appendActivityLine(line);
              m_log.WriteLogLine(line);
          })
    , m_engine(TestEngine::Parts { m_settings, m_list, m_log, m_activity, m_tray, frontEnd.indicator, frontEnd.tests },
          m_ownProbes,
          m_alerts)
{
    m_alerts.setProgramStarter([this](const std::vector<std::string>& command) { return m_starter(command); });
    m_engine.setResultSink(&m_history);
}

std::string MonitorController::historyFile() const
{
    return historyFileOf(m_settings, m_log.logFileName());
}

void MonitorController::applyHistoryFiles()
{
    m_history.setFiles(historyFile(), m_settings.statusPageFile);
}

void MonitorController::setAlertSender(AlertSender* sender)
{
    m_engine.setAlertSender(sender ? *sender : m_alerts);
}

void MonitorController::setProbeFactory(ProbeFactory* probes)
{
    m_engine.setProbeFactory(probes ? *probes : m_ownProbes);
}

void MonitorController::setFileManager(FileManager* fileManager)
{
    m_fileManager = fileManager ? fileManager : m_ownFileManager.get();
}

std::string MonitorController::dataFileName() const
{
    const size_t slash = m_dataFile.rfind('/');
    return slash == std::string::npos ? m_dataFile : m_dataFile.substr(slash + 1);
}

bool MonitorController::dataFileExists() const
{
    // Only a regular file is read: a FIFO or a device named as data file would block or never end.
    return isRegularFile(m_dataFile);
}

int MonitorController::launch(const std::vector<std::string>& command)
{
    return m_starter(command);
}

// Start and close

std::string MonitorController::startDataFile(const CommandLine& commandLine) const
{
    return commandLine.dataFile ? *commandLine.dataFile : core::settingsPathFor(m_programPath);
}

void MonitorController::start(const CommandLine& commandLine)
{
    SetDataFile(core::settingsPathFor(m_programPath));
    if (commandLine.dataFile)
        SetDataFile(*commandLine.dataFile);
    m_log.SetLogFileName(m_log.defaultLogFileName());
    load();
    m_engine.SetupTestTimer();
    applyHistoryFiles();
    m_tray.reset(TrayTip);
    // The alert actions come next, as their dialog is made; the keep-alive schedule starts with
    // the startup actions.
    loadActions();
}

void MonitorController::StartupActions()
{
    if (!m_settings.StartingUp)
        return;
    m_settings.StartingUp = false;
    const std::string message = "SEN StartUp " + dataFileName();
    m_log.WriteLogLine("");
    m_log.WriteLogLine(message + " " + m_log.stamp());
    m_alerts.StartupActions(message);
}

void MonitorController::endTests()
{
    m_engine.stopForClose();
    // The shut-down mail shares what is left of the close's time for mail.
    m_alerts.startCloseBudget(AlertDispatcher::CloseMailBudget);
    // The last pass's page is finished before the program ends.
    m_history.finish(std::chrono::seconds(5));
}

MonitorController::CloseSave MonitorController::prepareClose(const std::function<bool()>& overwriteChanged)
{
    endTests();
    CloseSave saved = CloseSave::NotWanted;
    try {
        saved = saveOnClose(overwriteChanged);
    } catch (...) {
        // The program goes on: the user may untick "Save Settings on Exit" and close again.
        m_engine.reopenAfterFailedClose();
        m_alerts.endCloseBudget();
        m_savedBeforeMail = false;
        throw;
    }
    ShutdownActions();
    return saved;
}

MonitorController::CloseSave MonitorController::saveOnClose(const std::function<bool()>& overwriteChanged)
{
    if (!m_settings.saveOnExit)
        return CloseSave::NotWanted;
    // Edits made by hand (or by another program) since the load are not lost unasked.
    if (dataFileChangedByOthers() && overwriteChanged && !overwriteChanged())
        return CloseSave::KeptChangedFile;
    save();
    return CloseSave::Saved;
}

std::string MonitorController::changedDataFileText() const
{
    return "The data file " + m_dataFile + " was changed by someone else since SEN read or saved it.";
}

bool MonitorController::dataFileChangedByOthers() const
{
    const core::FileStamp now = core::FileStamp::of(m_dataFile);
    if (!now.exists || now == m_dataFileSeen)
        return false;
    // Written since: by hand, or by another SEN run on the file, which saves the same settings
    // and rows with other states. Only the first counts.
    return !m_dataFileShape
        || dataFileShape(desktop::IniBatch(m_dataFile), m_log.defaultLogFileName()) != *m_dataFileShape;
}

void MonitorController::ShutdownActions()
{
    const std::string message = "SEN ShutDown " + dataFileName();
    m_log.WriteLogLine(message + " " + m_log.stamp());
    m_alerts.ShutdownActions(message);
}

bool MonitorController::deferCloseForMail(std::function<void()> close)
{
    if (!m_alerts.sending())
        return false;
    m_settings.StopRequested.raise();
    // What the tests found reaches the file before the wait, however the mail server behaves
    // and whatever ends the program meanwhile; once, as every mail sent brings the close back.
    // A data file someone else changed is left to the close's own save, which asks or keeps it.
    if (m_settings.saveOnExit && !m_savedBeforeMail && !dataFileChangedByOthers()) {
        m_savedBeforeMail = true;
        try {
            save();
        } catch (const std::exception&) {
            // Told by the close's own save, which tries again.
        }
    }
    m_alerts.startCloseBudget(AlertDispatcher::CloseMailBudget);
    m_alerts.whenIdle(std::move(close));
    return true;
}

// The data file

void MonitorController::SetDataFile(const std::string& path)
{
    m_dataFile = path;
    m_alerts.mailer().setDataFile(path);
    m_frontEnd.view.showDataFile(path);
}

void MonitorController::load()
{
    // Taken before the read: a change made while it reads counts as someone else's.
    m_dataFileSeen = core::FileStamp::of(m_dataFile);
    m_dataFileShape.reset();
    if (!dataFileExists())
        return;
    m_activity.appendActivityLine("Loading - " + m_dataFile);
    const desktop::IniBatch ini(m_dataFile);
    m_dataFileShape = dataFileShape(ini, m_log.defaultLogFileName());
    readWindowAndTimer(ini, m_settings);
    m_log.SetLogFileName(ini.ReadText("SEN", "LogFileName", m_log.logFileName()));
    m_log.setEnabled(ini.ReadFlag("SEN", "LogFile", false));
    readOptions(ini, m_settings);
    m_list.ApplySort(readSortMode(ini));
    for (Destination& row : readDestinations(ini))
        m_list.append(std::move(row));
    m_frontEnd.view.showSettings();
}

void MonitorController::loadActions()
{
    if (!dataFileExists())
        return;
    // Always right after load, whose stamp stands: a change in between is someone else's.
    readActions(desktop::IniBatch(m_dataFile), m_settings.actions);
}

void MonitorController::save()
{
    m_activity.appendActivityLine("Saving - " + m_dataFile);
    core::makeUserFolderFor(m_dataFile);
    desktop::IniBatch ini(m_dataFile);
    writeSettings(ini, m_settings, SavedLog { m_log.logFileName(), m_log.enabled() });
    writeActions(ini, m_settings.actions);
    writeDestinations(ini, m_list);
    // A refused save leaves the file as it was, and as it was seen.
    ini.save(savedReaders());
    m_dataFileSeen = core::FileStamp::of(m_dataFile);
    m_dataFileShape = dataFileShape(ini, m_log.defaultLogFileName());
}

// A data file that holds a password is for its owner's eyes only.
desktop::IniBatch::Readers MonitorController::savedReaders() const
{
    return m_settings.actions.smtpPassword.empty() ? desktop::IniBatch::Readers::AsBefore
                                                   : desktop::IniBatch::Readers::OwnerOnly;
}

// What every load is followed by, so that the loaded values take effect.
void MonitorController::afterLoad()
{
    m_engine.SetupTestTimer();
    applyHistoryFiles();
    m_alerts.SetupKeepAlive();
}

// The File menu

void MonitorController::openDataFile(const std::string& path)
{
    m_list.clear();
    SetDataFile(path);
    load();
    loadActions();
    afterLoad();
}

void MonitorController::saveDataFileAs(const std::string& path)
{
    SetDataFile(path);
    save();
}

void MonitorController::newDataFile(const std::string& path)
{
    m_list.clear();
    SetDataFile(path);
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    save();
}

void MonitorController::toggleSaveOnExit()
{
    m_settings.saveOnExit = !m_settings.saveOnExit;
    try {
        // One key written into the file as it is: what someone else changed stays changed.
        const bool seen = !dataFileChangedByOthers();
        core::makeUserFolderFor(m_dataFile);
        desktop::IniBatch ini(m_dataFile);
        ini.WriteFlag("SEN", "SaveOnExit", m_settings.saveOnExit);
        ini.save(savedReaders());
        if (seen) {
            m_dataFileSeen = core::FileStamp::of(m_dataFile);
            m_dataFileShape = dataFileShape(ini, m_log.defaultLogFileName());
        }
    } catch (const desktop::EIniFileException& e) {
        m_frontEnd.asker.showMessage("Cannot set SaveOnExit value in file:\r" + m_dataFile + "\r" + e.what());
    }
}

void MonitorController::advancedEditing()
{
    if (!dataFileExists()) {
        m_frontEnd.asker.showMessage("File Not Found: " + m_dataFile);
        return;
    }
    save();
    // An editor variable naming a program that is not there should not leave the user without one.
    if (launch(core::editorCommand(m_dataFile, m_environment)) != 0)
        launch(core::openerCommand(m_dataFile));
    if (!m_frontEnd.asker.askYesNo("Advanced Configuration - " + m_dataFile, advancedEditingText(m_dataFile)))
        return;
    m_list.clear();
    load();
    loadActions();
    afterLoad();
}

bool MonitorController::reloadDataFile()
{
    if (!dataFileExists()) {
        m_frontEnd.asker.showMessage("File Not Found: " + m_dataFile);
        return false;
    }
    // What the tests found since the file was last saved is newer than the file's "Stat" and
    // "Last": a row that is still there keeps it, so a reload raises no second alert for a
    // change that was already told.
    const std::vector<Destination> before = m_list.rows();
    std::vector<bool> taken(before.size(), false);
    m_list.clear();
    load();
    loadActions();
    for (int row = 0; row < m_list.count(); ++row) {
        const Destination& loaded = m_list.at(row);
        for (size_t old = 0; old < before.size(); ++old) {
            const Destination& was = before[old];
            if (taken[old] || was.HostName != loaded.HostName || was.IPAddress() != loaded.IPAddress()
                || was.Service() != loaded.Service() || was.Port() != loaded.Port())
                continue;
            // A second row alike takes the next one.
            taken[old] = true;
            Destination kept = loaded;
            kept.SubItems.resize(5);
            kept.SubItems[3] = was.Status();
            kept.SubItems[4] = was.LastAttempt();
            kept.State = was.State == StateImage::UnderTest ? StateImage::None : was.State;
            m_list.update(row, std::move(kept));
            break;
        }
    }
    afterLoad();
    return true;
}

void MonitorController::openAddress(const std::string& address)
{
    launch(core::openerCommand(address));
}

void MonitorController::openReadMeFile()
{
    if (const auto readMe = core::readMeFileFor(m_programPath, PackageName)) {
        launch(core::openerCommand(*readMe));
        return;
    }
    m_frontEnd.asker.showMessage("File Not Found: " + core::installedReadMeFor(m_programPath, PackageName));
}

// The list

void MonitorController::exportToText(const std::string& path)
{
    if (core::writeWholeFile(path, exportText(m_list)) != 0) {
        m_activity.appendActivityLine("*** ERROR: Cannot Export to text file: " + path);
        return;
    }
    m_fileManager->showItem(path);
}

void MonitorController::DnsLookup(
    const std::string& host, std::function<void(uint16_t error, const std::string& address)> done)
{
    if (host.empty())
        return;
    m_ping.OnDnsLookupDone
        = [done = std::move(done)](net::TPing& sender, uint16_t error) { done(error, sender.DnsResult()); };
    m_ping.DnsLookup(host);
}

void MonitorController::dropDnsLookup()
{
    m_ping.OnDnsLookupDone = nullptr;
    m_ping.CancelDnsLookup();
}

// The log

bool MonitorController::prepareOpenLog()
{
    m_log.SetLogFileName(m_log.pathText());
    if (!isRegularFile(m_log.logFileName())) {
        m_frontEnd.asker.showMessage("File Not Found: " + m_log.logFileName());
        return false;
    }
    return true;
}

void MonitorController::openLog(LogViewer viewer)
{
    const std::string& path = m_log.logFileName();
    switch (viewer) {
    case LogViewer::DefaultProgram:
        launch(core::openerCommand(path));
        break;
    case LogViewer::Editor:
        launch(core::editorCommand(path, m_environment));
        break;
    case LogViewer::TerminalEditor:
        launch(core::terminalEditorCommand(path, m_environment));
        break;
    case LogViewer::FileManager:
        m_fileManager->showItem(path);
        break;
    }
}

} // namespace monitor
