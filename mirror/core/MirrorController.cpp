#include "MirrorController.h"

#include "common/core/DateTimeText.h"
#include "common/desktop/IniFile.h"

#include <QDateTime>

#include <cctype>
#include <exception>

namespace {

// The interval box's text as a whole number of minutes; anything else counts as 0.
int minutesOf(const std::string& text)
{
    if (text.empty() || text.size() > 9)
        return 0;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return 0;
    return std::stoi(text);
}

std::string upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

MirrorController::CommandLine MirrorController::parseArguments(const std::vector<std::string>& arguments)
{
    CommandLine line;
    for (const auto& argument : arguments) {
        const std::string word = upper(argument);
        line.batch = line.batch || word == "/BATCH";
        line.tray = line.tray || word == "/TRAY";
    }
    return line;
}

MirrorController::MirrorController(std::string programPath, MirrorFrontEnd& frontEnd)
    : m_programPath(std::move(programPath))
    , m_engine(m_settings, frontEnd)
    , m_report(m_settings, m_engine.status(), frontEnd)
{
    m_engine.setReportSender([this] { m_report.SendReport(); });
    m_autoPilot.setOnTimeout([this] { AutoPilotTimer(); });
}

void MirrorController::load()
{
    loadMirrorSettings(settingsPath(), m_programPath, m_settings);
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
    const int minutes = minutesOf(m_settings.autoPilotInterval);
    m_intervalMs = minutes > 0 && minutes <= 35791 ? minutes * 60000 : 0; // the timer takes int milliseconds
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

void MirrorController::prepareClose()
{
    if (m_batch)
        return;
    save();
}
