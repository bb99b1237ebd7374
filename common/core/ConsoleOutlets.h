#pragma once

// The console side of a program: activity lines to standard output, message-box texts to
// standard error without waiting (questions take their default answer), and events served
// at most every 20 ms, since nobody clicks in a console and a pump per line would cost a
// system call per line. Each program's console front end builds on this.

#include "common/core/ActivityOutlet.h"
#include "common/core/Asker.h"
#include "common/core/EventPump.h"
#include "common/core/RunIndicator.h"

#include <chrono>
#include <ostream>

namespace core {

class ConsoleOutlets : public virtual ActivityOutlet, public Asker, public EventPump, public RunIndicator
{
public:
    ConsoleOutlets(std::ostream& out, std::ostream& err);

    void appendActivityLine(const std::string& line) override;
    void setActivityText(const std::string&) override { }

    void showMessage(const std::string& text) override;
    bool askOkCancel(const std::string& title, const std::string& text) override;
    bool askYesNo(const std::string& title, const std::string& text) override;

    void processEvents() override;

    void setBusy(bool) override { }
    void setTrayState(TrayState, const std::string&) override { }

    // Message boxes shown so far: each one stands for an error that nobody was there to see.
    int messageCount() const { return m_messages; }

    // Message-box texts break lines with a lone carriage return; a terminal wants line feeds.
    static std::string forTerminal(std::string text);

protected:
    std::ostream& out() { return m_out; }
    std::ostream& err() { return m_err; }

private:
    std::ostream& m_out;
    std::ostream& m_err;
    int m_messages = 0;
    std::chrono::steady_clock::time_point m_lastPump;
};

} // namespace core
