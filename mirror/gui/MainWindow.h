#pragma once

// The mirror's main window: the Settings and Status pages, the bottom buttons, the tray icon.
// It shows what the controller and the engine report and forwards the user's commands; the
// rules themselves live in MirrorController and MirrorEngine.

#include "common/core/Asker.h"
#include "common/core/EventPump.h"
#include "common/core/RunIndicator.h"
#include "mirror/core/CommandLine.h"
#include "mirror/core/MirrorController.h"
#include "mirror/core/StatusOutlets.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QWidget>

#include <memory>

class QPushButton;
class QTabWidget;
class QToolButton;

namespace desktop {
class Dialogs;
class TReadMe;
class TTrayIcon;
class TrayPictureSwitcher;
} // namespace desktop

namespace mirror {

class SettingsPage;
class StatusPage;

class TForm1 final : public QWidget,
                     public StatusOutlets,
                     public core::Asker,
                     public core::RunIndicator,
                     public core::EventPump
{
    Q_OBJECT
public:
    static constexpr const char* Caption = "RPL - File Mirroring, by the office tools team.";

    // `dialogs` answers message boxes and file choices; the desktop's own when null.
    TForm1(const std::string& programPath, CommandLine commandLine, desktop::Dialogs* dialogs = nullptr);
    ~TForm1() override;

    MirrorController& controller() { return m_controller; }

    void btnStartClick();
    void btnStopClick();
    void btnReadMeClick();
    // Lists the selected pair's archived runs and moves the chosen one back.
    void btnRestoreClick();
    void MinimizeToTray();
    void RestoreFromTray();
    void FormActivate();
    bool isBusy() const;
    // How often a run lets the window serve its events; tests set 0 to serve them after every line.
    void setPumpInterval(int ms) { m_pumpIntervalMs = ms; }

    // StatusOutlets
    void setStatusLine(const std::string& text) override;
    void setActivityText(const std::string& text) override;
    void appendActivityLine(const std::string& line) override;
    void clearSummary() override;
    void appendSummaryLine(const std::string& line) override;
    std::string summaryText() const override;
    void showPairPaths(const std::string& source, const std::string& destination) override;
    void showProgress(const RunProgress& progress) override;
    // core::Asker
    void showMessage(const std::string& text) override;
    bool askOkCancel(const std::string& title, const std::string& text) override;
    bool askYesNo(const std::string& title, const std::string& text) override;
    // core::RunIndicator
    void setBusy(bool busy) override;
    void setTrayState(core::TrayState state, const std::string& tip) override;
    // core::EventPump
    void processEvents() override;

    QTabWidget* pages;
    SettingsPage* settingsPage;
    StatusPage* statusPage;
    QPushButton* btnStart;
    QPushButton* btnStop;
    QPushButton* btnReadMe;
    QPushButton* btnClose;
    QToolButton* btnMinimizeToTray;
    desktop::TTrayIcon* TrayIcon;
    desktop::TReadMe* ReadMe;

signals:
    // Batch mode finished its run; the program ends.
    void batchFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    QWidget* buildButtonRow();
    void armAutoPilot();
    void showError(const QString& text);
    void runBatch();
    // Shows the newest status line and the activity lines written since the last round of events.
    void showPendingStatus();

    std::unique_ptr<desktop::Dialogs> m_ownDialogs;
    desktop::Dialogs& m_dialogs;
    CommandLine m_commandLine;
    MirrorController m_controller;
    std::unique_ptr<desktop::TrayPictureSwitcher> m_tray;
    bool m_firstActivation = true;

    QElapsedTimer m_sincePump;
    std::string m_pendingStatus;
    bool m_statusPending = false;
    QStringList m_pendingActivity;
    int m_pumpIntervalMs = 15;
};

} // namespace mirror
