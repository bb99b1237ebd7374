#pragma once

// The group "Options/Actions:": the test timer's controls, the test buttons, the log controls
// (check box, Open LOG, path box, Browse), and the buttons of the alert actions and the
// read-me. It shows the event log's state (LogView) and forwards the user's edits.

#include "monitor/core/EventLog.h"

#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;

namespace desktop {
class Dialogs;
}

namespace monitor {

class MonitorController;

class OptionsPane final : public QGroupBox, public LogView
{
    Q_OBJECT
public:
    static constexpr const char* LogCaption = "Write events to &log file: SEN.LOG";

    OptionsPane(MonitorController& controller, desktop::Dialogs& dialogs, QWidget* parent = nullptr);

    void btnOpenLogClick();
    void btnBrowseClick();
    // The timer controls from the settings, after a load.
    void showTimerSettings();

    void showLogPathText(const std::string& text) override;
    void showLogEnabled(bool enabled) override;

    QCheckBox* cbTimer;
    QComboBox* ComboTimer;
    QPushButton* btnTestNow;
    QPushButton* BtnAbort;
    QCheckBox* cbLogFile;
    QPushButton* btnOpenLog;
    QLineEdit* LogFileName;
    QToolButton* btnBrowse;
    QPushButton* btnConfigure;
    QPushButton* btnReadMe;
    // The viewers "Open LOG" offers, in LogViewer order.
    QMenu* OpenLogMenu;

private:
    MonitorController& m_controller;
    desktop::Dialogs& m_dialogs;
};

} // namespace monitor
