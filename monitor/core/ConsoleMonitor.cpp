#include "monitor/core/ConsoleMonitor.h"

#include "common/core/StandardOptions.h"
#include "monitor/core/SignalWatcher.h"

#include <QCoreApplication>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace monitor {

namespace {

ConsoleMonitor::Mode modeOf(const CommandLine& line)
{
    if (line.nagios)
        return ConsoleMonitor::Mode::Nagios;
    return line.once ? ConsoleMonitor::Mode::Once : ConsoleMonitor::Mode::Watch;
}

constexpr int Failed = 1;

} // namespace

std::optional<std::string> unreadableDataFile(const std::string& path, int* error)
{
    const auto fail = [error](int number) -> std::optional<std::string> {
        if (error)
            *error = number;
        return std::string(std::strerror(number));
    };
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
        return fail(errno);
    if (S_ISDIR(st.st_mode))
        return fail(EISDIR);
    if (!S_ISREG(st.st_mode))
        return fail(EINVAL);
    // Opened for the check only: a FIFO or device never gets here, so this cannot block.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    ::close(fd);
    return std::nullopt;
}

ConsoleMonitor::ConsoleMonitor(
    const std::string& programPath, const CommandLine& commandLine, std::ostream& out, std::ostream& err)
    : m_commandLine(commandLine)
    , m_mode(modeOf(commandLine))
    , m_console(out, err, m_mode == Mode::Nagios)
    , m_controller(programPath, FrontEnd::of(m_console))
{
    m_console.onPassEnd = [this] { passEnded(); };
    m_controller.engine().setOnRecorded([this](uint64_t row, bool ok, int64_t elapsedMs, const std::string& reason) {
        m_recorded[row] = { ok, elapsedMs, reason };
    });
    m_checkDeadline.setPrecise(true);
    m_checkDeadline.setOnTimeout([this] { checkTimedOut(); });
}

ConsoleMonitor::~ConsoleMonitor()
{
    m_poster.cancelAll();
    m_console.onPassEnd = nullptr;
}

int ConsoleMonitor::run()
{
    m_startTime = std::chrono::steady_clock::now();
    if (m_mode == Mode::Nagios)
        m_checkDeadline.start(m_commandLine.checkTimeout * 1000, true);
    for (const std::string& ignored : m_commandLine.ignoredSwitches)
        m_console.warn(core::ignoredSwitchWarning("SEN", ignored));
    const std::string path = m_controller.startDataFile(m_commandLine);
    int error = 0;
    if (const auto why = unreadableDataFile(path, &error); why && (m_mode != Mode::Watch || error != ENOENT)) {
        const std::string reason = "cannot read the data file " + path + ": " + *why;
        if (m_mode == Mode::Nagios) {
            m_console.out() << unknownResult(reason).line << std::endl;
            return static_cast<int>(CheckStatus::Unknown);
        }
        m_console.err() << "SEN: " << reason << "; nothing was tested." << std::endl;
        return Failed;
    }
    if (!m_commandLine.unusedDataFiles.empty() && m_mode != Mode::Nagios)
        m_console.err() << "SEN: more than one data file named; using the last one, " << path << "." << std::endl;
    // Two watchers of one file would each save their own findings over the other's.
    if (m_mode == Mode::Watch && m_claim.claim(path) == core::FileClaim::Result::Taken) {
        m_console.err() << "SEN: another SEN /CONSOLE is watching " << path << " already; this one does not start."
                        << std::endl;
        return Failed;
    }
    m_controller.start(m_commandLine);
    if (m_mode == Mode::Once && m_controller.list().count() == 0)
        m_console.err() << "SEN: the data file " << path << " lists no destinations; nothing is tested." << std::endl;
    if (m_mode != Mode::Watch)
        m_controller.engine().holdTimer();
    else if (error == ENOENT)
        m_console.err() << "SEN: the data file " << path
                        << " does not exist yet: the list is empty, and the close creates the file." << std::endl;
    m_controller.StartupActions();
    m_started = true;
    if (m_mode == Mode::Watch)
        warnWithoutPasses();
    else if (!m_closeRequested)
        m_controller.engine().TestAllDestinations();
    // Signals that came while the start waited for its mail.
    if (m_closeRequested && !m_controller.engine().passing())
        m_poster.post([this] { tryClose(); });
    else if (m_reloadWanted)
        m_poster.post([this] { reloadWhenIdle(); });
    if (!m_done)
        QCoreApplication::exec();
    return m_status;
}

void ConsoleMonitor::warnWithoutPasses()
{
    const MonitorSettings& settings = m_controller.settings();
    const std::string where = " in " + m_controller.dataFile();
    if (!settings.enableTimer)
        m_console.err() << "SEN: the test timer is off (EnableTimer=0" << where << "): no test pass will run."
                        << std::endl;
    else if (!m_controller.engine().timerActive())
        m_console.err() << "SEN: the test timer's interval (TimerInterval=" << settings.timerInterval << where
                        << ") gives no test pass." << std::endl;
}

void ConsoleMonitor::passEnded()
{
    if (m_mode != Mode::Watch && !m_closeRequested) {
        m_passComplete = true;
        beginClose();
        return;
    }
    if (m_closeRequested)
        m_poster.post([this] { tryClose(); });
    else if (m_reloadWanted)
        m_poster.post([this] { reloadWhenIdle(); });
}

void ConsoleMonitor::terminate()
{
    if (m_closed) {
        m_hurry = true;
        return;
    }
    if (m_closeRequested) {
        // Asked again: the tests still under way are dropped where they are.
        if (m_started)
            m_controller.engine().stopForClose();
        return;
    }
    beginClose();
    // A stop does not wait for the probes' time-outs: the tests under way end without a
    // result, as Abort ends them; those already over keep theirs.
    if (m_started)
        m_controller.engine().Abort();
}

void ConsoleMonitor::checkTimedOut()
{
    if (m_closeRequested)
        return;
    m_timedOut = true;
    terminate();
}

void ConsoleMonitor::beginClose()
{
    if (m_closeRequested)
        return;
    m_closeRequested = true;
    // No further test of the pass starts; those running end on their own.
    m_controller.settings().StopRequested.raise();
    m_controller.engine().holdTimer();
    // Before the start has run to its end, run() takes it from there.
    if (m_started)
        m_poster.post([this] { tryClose(); });
}

void ConsoleMonitor::tryClose()
{
    if (m_closed)
        return;
    TestEngine& engine = m_controller.engine();
    // Mail on its way (an alert holds its pass until the queue is sent): the data file is saved
    // now and the mail gets the close's budget; its end comes back here.
    if (m_controller.deferCloseForMail([this] { tryClose(); }))
        return;
    // The pass's end comes back here.
    if (engine.passing() || engine.testsUnderWay() > 0)
        return;
    m_closed = true;
    const std::vector<RowOutcome> rows = outcomes();
    m_checkDeadline.stop();
    m_controller.endTests();
    const std::optional<std::string> saveProblem = saveForClose();
    const bool saved = !saveProblem;
    m_controller.ShutdownActions();
    waitForPrograms();
    switch (m_mode) {
    case Mode::Watch:
        finish(saved ? 0 : Failed);
        break;
    case Mode::Once:
        finish(onceStatus(saved, rows));
        break;
    case Mode::Nagios: {
        CheckResult result = checkResult(rows);
        if (m_timedOut)
            result = timedOutResult(m_commandLine.checkTimeout, rows);
        else if (!m_passComplete)
            result = unknownResult("stopped by a signal before the test pass ended");
        else if (!saved)
            result = unknownResult(*saveProblem);
        m_console.out() << result.line << std::endl;
        finish(static_cast<int>(result.status));
        break;
    }
    }
}

std::optional<std::string> ConsoleMonitor::saveForClose()
{
    std::optional<std::string> problem;
    try {
        // Nobody is there to ask: a data file that someone else changed is kept.
        if (m_controller.saveOnClose([] { return false; }) == MonitorController::CloseSave::KeptChangedFile)
            problem = m_controller.changedDataFileText() + " It was not overwritten.";
    } catch (const std::exception& e) {
        problem = e.what();
    }
    if (problem)
        m_console.showMessage(*problem);
    return problem;
}

void ConsoleMonitor::waitForPrograms()
{
    auto grace = std::chrono::duration_cast<std::chrono::milliseconds>(ProgramsGrace);
    if (m_mode == Mode::Nagios) {
        // A check does not outlast its own time.
        const auto used = std::chrono::steady_clock::now() - m_startTime;
        grace = std::max(std::chrono::milliseconds(0),
            std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::seconds(m_commandLine.checkTimeout) - used));
    }
    m_controller.programs().waitForAll(grace, [this] { return m_hurry; });
}

int ConsoleMonitor::onceStatus(bool saved, const std::vector<RowOutcome>& rows) const
{
    return saved && m_passComplete && allTestedOk(rows) ? 0 : Failed;
}

std::vector<RowOutcome> ConsoleMonitor::outcomes()
{
    std::vector<RowOutcome> rows;
    const DestinationList& list = m_controller.list();
    for (int row = 0; row < list.count(); ++row) {
        RowOutcome outcome;
        outcome.name = list.at(row).HostName;
        const auto found = m_recorded.find(list.keyOf(row));
        if (found != m_recorded.end()) {
            outcome.tested = true;
            outcome.ok = found->second.ok;
            outcome.elapsedMs = found->second.elapsedMs;
            outcome.reason = found->second.reason;
        }
        rows.push_back(std::move(outcome));
    }
    return rows;
}

void ConsoleMonitor::finish(int status)
{
    m_status = status;
    m_done = true;
    m_console.out().flush();
    // Ends exec() when it runs; before it runs, run() sees m_done and does not start it.
    QCoreApplication::exit(status);
}

void ConsoleMonitor::reload()
{
    if (m_mode != Mode::Watch || m_closeRequested)
        return;
    m_reloadWanted = true;
    m_poster.post([this] { reloadWhenIdle(); });
}

void ConsoleMonitor::reloadWhenIdle()
{
    if (!m_reloadWanted || m_closeRequested || !m_started)
        return;
    // A pass in progress ends first (its end comes back here), and a mail on its way.
    if (m_controller.engine().passing())
        return;
    if (m_controller.alerts().sending()) {
        m_controller.alerts().whenIdle([this] { reloadWhenIdle(); });
        return;
    }
    m_reloadWanted = false;
    if (m_controller.reloadDataFile()) {
        // An editor may have written a new file in the old one's place.
        m_claim.claim(m_controller.dataFile());
        warnWithoutPasses();
    }
}

int runConsoleMonitor(
    const std::string& programPath, const CommandLine& commandLine, std::ostream& out, std::ostream& err)
{
    // SIGPIPE is ignored program-wide (core::StandardOutput): a reader of the output that went
    // away does not end the program before its close.
    ConsoleMonitor monitor(programPath, commandLine, out, err);
    SignalWatcher watcher({ SIGTERM, SIGINT, SIGHUP }, [&monitor](int number) {
        if (number == SIGHUP)
            monitor.reload();
        else
            monitor.terminate();
    });
    return monitor.run();
}

} // namespace monitor
