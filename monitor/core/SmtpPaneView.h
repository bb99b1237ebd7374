#pragma once

// The alert-actions dialog as the mail sender sees it: the SMTP pane, which keeps the
// progress of the last mail only, and whether the mail client is free for "Test SMTP".

#include <string>

namespace monitor {

class SmtpPaneView
{
public:
    virtual ~SmtpPaneView() = default;
    virtual void clearSmtpPane() = 0;
    virtual void appendSmtpPaneLine(const std::string& line) = 0;
    // True while a mail is on its way.
    virtual void showMailBusy(bool busy) = 0;
};

} // namespace monitor
