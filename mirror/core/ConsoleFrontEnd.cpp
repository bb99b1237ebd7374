#include "ConsoleFrontEnd.h"

#include "common/core/EventLoop.h"
#include "mirror/core/MirrorEngine.h"
#include "mirror/core/MirrorSettings.h"

#include <chrono>
#include <exception>

namespace {

// Message-box texts break lines with a lone carriage return; a terminal wants line feeds.
std::string forTerminal(std::string text)
{
    for (char& c : text)
        if (c == '\r')
            c = '\n';
    return text;
}

} // namespace

ConsoleFrontEnd::ConsoleFrontEnd(std::ostream& out, std::ostream& err)
    : m_out(out)
    , m_err(err)
{
}

void ConsoleFrontEnd::appendActivityLine(const std::string& line)
{
    m_out << line << '\n';
}

void ConsoleFrontEnd::appendSummaryLine(const std::string& line)
{
    m_summary += line;
    m_summary += "\r\n";
}

// Nobody clicks in a console: serving timers and posted calls every 20 ms is plenty, and a
// pump per file would cost a system call per file.
void ConsoleFrontEnd::processEvents()
{
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastPump < std::chrono::milliseconds(20))
        return;
    m_lastPump = now;
    core::pumpOnce();
}

void ConsoleFrontEnd::showMessage(const std::string& text)
{
    ++m_messages;
    m_out.flush();
    m_err << forTerminal(text) << std::endl;
}

int runConsoleMirror(const std::string& programPath, std::ostream& out, std::ostream& err)
{
    MirrorSettings settings;
    loadMirrorSettings(settingsPathFor(programPath), programPath, settings);
    ConsoleFrontEnd frontEnd(out, err);
    MirrorEngine engine(settings, frontEnd);
    try {
        engine.RunMirror();
    } catch (const std::exception& e) {
        out.flush();
        err << e.what() << std::endl;
        return 1;
    }
    out.flush();
    return engine.status().errorCount() == 0 && frontEnd.messageCount() == 0 ? 0 : 1;
}
