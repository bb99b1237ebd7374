#pragma once

// What a mirror run needs from whoever shows it: the four status outlets, the window's busy
// state and tray indicator, message boxes and the pause question. The desktop window and the
// console front end both implement it; the engine never knows which one it talks to.

#include <string>

class MirrorFrontEnd
{
public:
    virtual ~MirrorFrontEnd() = default;

    // Status outlets.
    virtual void setStatusLine(const std::string& text) = 0;
    virtual void setActivityText(const std::string& text) = 0; // the whole pane, after a clear or a cut
    virtual void appendActivityLine(const std::string& line) = 0;
    virtual void clearSummary() = 0;
    virtual void appendSummaryLine(const std::string& line) = 0;
    virtual std::string summaryText() const = 0;
    // Lets the window serve pending events (buttons, timers, repaint); called after every line.
    virtual void processEvents() = 0;

    // Window state during a run.
    virtual void setBusy(bool busy) = 0;
    virtual void setTrayState(int picture, const std::string& tip) = 0;
    virtual void showPairPaths(const std::string& source, const std::string& destination) = 0;

    // A message box; returns when the user closed it (a console returns at once).
    virtual void showMessage(const std::string& text) = 0;
    // A question with OK and Cancel; true for OK.
    virtual bool askOkCancel(const std::string& title, const std::string& text) = 0;
};
