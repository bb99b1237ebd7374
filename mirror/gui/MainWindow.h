#pragma once

// The mirror's main window: the Settings and Status pages, the bottom buttons, the tray icon.
// It shows what the controller and the engine report and forwards the user's commands; the
// rules themselves live in MirrorController and MirrorEngine.

#include "mirror/core/MirrorController.h"
#include "mirror/core/MirrorFrontEnd.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QStringList>
#include <QWidget>

#include <memory>

class MirrorDialogs;
class QMenu;
class QPushButton;
class QTabWidget;
class QToolButton;
class SettingsPage;
class StatusPage;
class TReadMe;
class TTrayIcon;

class TForm1 final : public QWidget, public MirrorFrontEnd
{
    Q_OBJECT
public:
    static constexpr const char* Caption = "RPL - File Mirroring, by the office tools team.";

    // `dialogs` answers message boxes and file choices; the desktop's own when null.
    TForm1(const std::string& programPath, const QStringList& arguments, MirrorDialogs* dialogs = nullptr);
    ~TForm1() override;

    MirrorController& controller() { return m_controller; }

    void btnStartClick();
    void btnStopClick();
    void btnReadMeClick();
    void MinimizeToTray();
    void RestoreFromTray();
    void SetTrayState(int picture, const std::string& tip);
    void FormActivate();
    bool isBusy() const;
    // How often a run lets the window serve its events; tests set 0 to serve them after every line.
    void setPumpInterval(int ms) { m_pumpIntervalMs = ms; }

    // MirrorFrontEnd
    void setStatusLine(const std::string& text) override;
    void setActivityText(const std::string& text) override;
    void appendActivityLine(const std::string& line) override;
    void clearSummary() override;
    void appendSummaryLine(const std::string& line) override;
    std::string summaryText() const override;
    void processEvents() override;
    void setBusy(bool busy) override;
    void setTrayState(int picture, const std::string& tip) override { SetTrayState(picture, tip); }
    void showPairPaths(const std::string& source, const std::string& destination) override;
    void showMessage(const std::string& text) override;
    bool askOkCancel(const std::string& title, const std::string& text) override;

    QTabWidget* pages;
    SettingsPage* settingsPage;
    StatusPage* statusPage;
    QPushButton* btnStart;
    QPushButton* btnStop;
    QPushButton* btnReadMe;
    QPushButton* btnClose;
    QToolButton* btnMinimizeToTray;
    TTrayIcon* TrayIcon;
    TReadMe* ReadMe;

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
    void buildTray();
    void armAutoPilot();
    void showError(const QString& text);
    void runBatch();

    std::unique_ptr<MirrorDialogs> m_ownDialogs;
    MirrorDialogs& m_dialogs;
    MirrorController m_controller;
    QStringList m_arguments;
    QIcon m_trayPictures[2];
    QMenu* m_trayMenu = nullptr;
    bool m_firstActivation = true;
    bool m_batchDone = false;
    // Shows the newest status line and the activity lines written since the last round of events.
    void showPendingStatus();

    QElapsedTimer m_sincePump;
    std::string m_pendingStatus;
    bool m_statusPending = false;
    QStringList m_pendingActivity;
    int m_pumpIntervalMs = 15;
};
