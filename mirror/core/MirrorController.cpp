#include "MirrorController.h"

#include "common/core/DateTimeText.h"
#include "common/core/ProgramPaths.h"
#include "common/core/TimerInterval.h"
#include "mirror/core/ArchiveRestore.h"

#include <QDateTime>

#include <cstdlib>
#include <exception>

namespace mirror {

MirrorController::MirrorController(std::string programPath, const FrontEnd& frontEnd)
    : m_programPath(std::move(programPath))
    , m_engine(m_settings, frontEnd, m_stop)
    , m_report(m_settings, m_engine.status(), frontEnd.outlets)
{
    m_engine.setReportSender([this] { m_report.SendReport(); });
    m_report.setSettingsFile(settingsPath());
    // Parallel copies from the first file, as on a slow share (the randomized test uses it).
    if (const char* mode = std::getenv("RPL_PARALLEL_COPIES"); mode && std::string(mode) == "always")
        m_engine.copyPace().forceParallel();
    m_autoPilot.setOnTimeout([this] { AutoPilotTimer(); });
}

std::string MirrorController::settingsPath() const
{
    return core::settingsPathFor(m_programPath);
}

SettingsLoad MirrorController::load()
{
    return loadMirrorSettings(settingsPath(), m_programPath, m_settings);
}

void MirrorController::save()
{
    if (m_engine.isBusy())
        m_engine.cancel();
    saveMirrorSettings(settingsPath(), m_settings);
}

void MirrorController::RunMirror()
{
    if (!m_engine.isBusy())
        m_engine.RunMirror();
}

std::string MirrorController::ArmAutoPilot()
{
    m_autoPilot.stop();
    // Text that is not a whole number counts as 0, and so does an interval no timer can take.
    const auto minutes = core::wholeNumberOf(m_settings.autoPilotInterval);
    const auto interval = minutes ? core::intervalFromMinutes(static_cast<double>(*minutes)) : std::nullopt;
    m_intervalMs = interval.value_or(0);
    if (m_settings.autoPilotEnabled && !m_batch && m_intervalMs > 0) {
        m_autoPilot.start(m_intervalMs);
        return "Next Time: " + core::dateTimeText(QDateTime::currentDateTime().addMSecs(m_intervalMs));
    }
    return "Auto Pilot Disabled";
}

void MirrorController::AutoPilotTimer()
{
    if (m_engine.isBusy())
        return;
    try {
        m_engine.RunMirror();
    } catch (const std::exception& e) {
        if (m_onError)
            m_onError(e.what());
    }
}

int MirrorController::restore(const std::string& destination, const std::string& run)
{
    if (m_engine.isBusy()) {
        m_engine.status().WriteError("A mirror run is busy, nothing restored", false);
        return 1;
    }
    m_engine.status().clearActivity();
    return ArchiveRestore(m_engine.status()).restore(destination, run);
}

void MirrorController::prepareClose()
{
    if (m_batch)
        return;
    save();
}

} // namespace mirror
