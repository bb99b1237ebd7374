#pragma once

// The alert-actions dialog "SEN Actions configuration": the mail server (port, security, log-in,
// trust file) and addresses, the
// current-status choice, "Test SMTP" with the SMTP pane, what to do on each of the four events,
// and the keep-alive interval. Created once, hidden, and shown modally on demand. Its controls
// show the alert-action values of MonitorSettings and write every edit straight back, so an
// edit lives until the next save whether the dialog was closed with Esc or its close box.

#include "monitor/core/SmtpPaneView.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace monitor {

class MonitorController;

class TForm2 final : public QDialog, public SmtpPaneView
{
    Q_OBJECT
public:
    static constexpr const char* Caption = "SEN Actions configuration";
    static constexpr const char* CommandHint = "Use a BAT file and look for command line parameters %1 %2...";

    explicit TForm2(MonitorController& controller, QWidget* parent = nullptr);
    ~TForm2() override;

    // Shows the current values, centred on the screen, until the user closes the dialog.
    void showModal();
    void btnTestSMTPClick();

    // SmtpPaneView
    void clearSmtpPane() override;
    void appendSmtpPaneLine(const std::string& line) override;
    void showMailBusy(bool busy) override;

    QLineEdit* SMTPServer;
    QLineEdit* SMTPPort;
    QComboBox* SMTPSecurity; // "None", "STARTTLS", "TLS"
    QLineEdit* SMTPUser;
    QLineEdit* SMTPPassword;
    QLineEdit* SMTPPasswordFile;
    QLineEdit* SMTPTrustFile;
    QLineEdit* EmailAddress;
    QLineEdit* FromAddress;
    QComboBox* SendCurrentStatus;
    QPushButton* btnTestSMTP;
    QPlainTextEdit* SmtpPane;
    QGroupBox* FailGroup;
    QCheckBox* cbFailEmail;
    QCheckBox* cbFailRun;
    QLineEdit* FailCommand;
    QGroupBox* OKGroup;
    QCheckBox* cbOKEmail;
    QCheckBox* cbOKRun;
    QLineEdit* OKCommand;
    QGroupBox* StartGroup;
    QCheckBox* cbStartEmail;
    QCheckBox* cbStartRun;
    QLineEdit* StartCommand;
    QGroupBox* CloseGroup;
    QCheckBox* cbCloseEmail;
    QCheckBox* cbCloseRun;
    QLineEdit* CloseCommand;
    QGroupBox* KeepAliveGroup;
    QCheckBox* SendKeepAlive;
    QLineEdit* KeepAliveInterval;

private:
    QWidget* buildMailPart();
    QGroupBox* buildEventGroup(const char* title, QCheckBox*& email, QCheckBox*& run, QLineEdit*& command);
    QGroupBox* buildKeepAliveGroup();
    void connectEdits();
    // Every control from the settings, without writing back.
    void showActions();

    MonitorController& m_controller;
    bool m_showing = false;
};

} // namespace monitor
