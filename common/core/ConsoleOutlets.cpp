#include "ConsoleOutlets.h"

#include "common/core/EventLoop.h"

namespace core {

namespace {

constexpr std::chrono::milliseconds PumpInterval(20);

} // namespace

ConsoleOutlets::ConsoleOutlets(std::ostream& out, std::ostream& err)
    : m_out(out)
    , m_err(err)
{
}

std::string ConsoleOutlets::forTerminal(std::string text)
{
    for (char& c : text)
        if (c == '\r')
            c = '\n';
    return text;
}

void ConsoleOutlets::appendActivityLine(const std::string& line)
{
    m_out << line << '\n';
}

void ConsoleOutlets::showMessage(const std::string& text)
{
    ++m_messages;
    m_out.flush();
    m_err << forTerminal(text) << std::endl;
}

// A question is shown with the answer taken for it; unlike a message it reports no error.
bool ConsoleOutlets::askOkCancel(const std::string& title, const std::string& text)
{
    m_out.flush();
    m_err << forTerminal(title + "\r" + text) << "\n(answered OK)" << std::endl;
    return true;
}

bool ConsoleOutlets::askYesNo(const std::string& title, const std::string& text)
{
    m_out.flush();
    m_err << forTerminal(title + "\r" + text) << "\n(answered Yes)" << std::endl;
    return true;
}

void ConsoleOutlets::processEvents()
{
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastPump < PumpInterval)
        return;
    m_lastPump = now;
    pumpOnce();
}

} // namespace core
