#pragma once

// A front end that records what a run shows, and lets a test act from inside the run's event
// processing the way a user pressing Stop would.

#include "common/core/Asker.h"
#include "common/core/EventPump.h"
#include "common/core/RunIndicator.h"
#include "mirror/core/FrontEnd.h"
#include "mirror/core/StatusOutlets.h"

#include <functional>
#include <string>
#include <vector>

class RecordingFrontEnd : public mirror::StatusOutlets,
                          public core::Asker,
                          public core::RunIndicator,
                          public core::EventPump
{
public:
    mirror::FrontEnd roles() { return mirror::FrontEnd::of(*this); }

    void setStatusLine(const std::string& text) override { statusLines.push_back(text); }
    void setActivityText(const std::string& text) override { activity = text; }
    void appendActivityLine(const std::string& line) override
    {
        activity += line + "\r\n";
        activityLines.push_back(line);
    }
    void clearSummary() override { summary.clear(); }
    void appendSummaryLine(const std::string& line) override { summary += line + "\r\n"; }
    std::string summaryText() const override { return summary; }
    void processEvents() override
    {
        ++eventRounds;
        if (onEvents)
            onEvents();
    }
    void setBusy(bool busy) override { busyChanges.push_back(busy); }
    void setTrayState(core::TrayState state, const std::string& tip) override
    {
        tray.emplace_back(state == core::TrayState::Normal ? 0 : 1, tip);
    }
    void showPairPaths(const std::string& source, const std::string& destination) override
    {
        pairPaths.emplace_back(source, destination);
    }
    void showMessage(const std::string& text) override
    {
        messages.push_back(text);
        // The line of a stopping error is written only after the box was closed.
        linesBeforeMessage.push_back(activityLines.size());
    }
    bool askOkCancel(const std::string& title, const std::string& text) override
    {
        questions.emplace_back(title, text);
        return answerOk;
    }
    bool askYesNo(const std::string& title, const std::string& text) override
    {
        questions.emplace_back(title, text);
        return answerOk;
    }

    std::vector<std::string> statusLines;
    std::vector<std::string> activityLines;
    std::string activity;
    std::string summary;
    std::vector<bool> busyChanges;
    std::vector<std::pair<int, std::string>> tray;
    std::vector<std::pair<std::string, std::string>> pairPaths;
    std::vector<std::string> messages;
    std::vector<size_t> linesBeforeMessage;
    std::vector<std::pair<std::string, std::string>> questions;
    bool answerOk = true;
    int eventRounds = 0;
    std::function<void()> onEvents;
};
