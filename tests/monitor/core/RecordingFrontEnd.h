#pragma once

// A front end for the monitor's controller that records what it is shown and answers its
// questions as a test scripts them.

#include "common/core/ActivityOutlet.h"
#include "common/core/Asker.h"
#include "common/core/RunIndicator.h"
#include "monitor/core/EventLog.h"
#include "monitor/core/MonitorController.h"
#include "monitor/core/SettingsView.h"
#include "monitor/core/TestView.h"

#include <string>
#include <utility>
#include <vector>

class RecordingFrontEnd : public core::ActivityOutlet,
                          public core::Asker,
                          public core::RunIndicator,
                          public monitor::SettingsView,
                          public monitor::LogView,
                          public monitor::TestView
{
public:
    monitor::FrontEnd roles() { return monitor::FrontEnd::of(*this); }

    void appendActivityLine(const std::string& line) override { activity.push_back(line); }
    // The pane as a whole: its lines, ended by CR LF.
    void setActivityText(const std::string& text) override
    {
        activity.clear();
        for (size_t begin = 0; begin < text.size();) {
            const size_t end = text.find("\r\n", begin);
            activity.push_back(text.substr(begin, end - begin));
            begin = end == std::string::npos ? text.size() : end + 2;
        }
    }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    bool askOkCancel(const std::string& title, const std::string& text) override
    {
        questions.emplace_back(title, text);
        return answer;
    }
    bool askYesNo(const std::string& title, const std::string& text) override
    {
        questions.emplace_back(title, text);
        if (onQuestion)
            onQuestion();
        return answer;
    }
    void setBusy(bool on) override { busy.push_back(on); }
    void setTrayState(core::TrayState state, const std::string& tip) override
    {
        tray.emplace_back(state == core::TrayState::Normal ? 0 : 1, tip);
    }
    void showDataFile(const std::string& path) override { dataFiles.push_back(path); }
    void showSettings() override { ++settingsShown; }
    void showLogPathText(const std::string& text) override { logPathText = text; }
    void showLogEnabled(bool enabled) override { logEnabled = enabled; }
    void showTimerHint(const std::string& hint) override { timerHint = hint; }
    void showTesting(bool on) override { testing.push_back(on); }
    bool isForeground() const override { return foreground; }

    std::vector<std::string> activity;
    std::vector<std::string> messages;
    std::vector<std::pair<std::string, std::string>> questions;
    std::vector<std::pair<int, std::string>> tray;
    std::vector<std::string> dataFiles;
    int settingsShown = 0;
    std::string logPathText;
    bool logEnabled = false;
    bool answer = true;
    std::function<void()> onQuestion;
    std::vector<bool> busy;
    std::vector<bool> testing;
    std::string timerHint;
    bool foreground = false;
};

// Records the programs a controller starts instead of starting them.
struct RecordedStarts
{
    std::vector<std::vector<std::string>> commands;
    int result = 0;
    monitor::ProgramStarter starter()
    {
        return [this](const std::vector<std::string>& command) {
            commands.push_back(command);
            return result;
        };
    }
};

struct RecordingFileManager : monitor::FileManager
{
    void showItem(const std::string& path) override { shown.push_back(path); }
    std::vector<std::string> shown;
};
