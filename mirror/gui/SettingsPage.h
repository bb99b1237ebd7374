#pragma once

// The "Settings" page: every control writes through to the settings at once, so a run and a
// save always see what the page shows. The folder-pair list is a view of the settings' list.

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace desktop {
class Dialogs;
}

namespace mirror {

struct MirrorSettings;

class SettingsPage : public QWidget
{
    Q_OBJECT
public:
    SettingsPage(MirrorSettings& settings, desktop::Dialogs& dialogs, QWidget* parent = nullptr);

    // Shows the settings as loaded, with the settings file's path.
    void showSettings(const QString& settingsPath);
    // Rebuilds the list from the settings' folder pairs, keeping the selection.
    void refreshFolderList();

    void btnAddClick();
    void btnRemoveClick();
    void moveUpClick();
    void moveDownClick();
    void btnSourceClick();
    void btnDestinationClick();
    void btnLogFileClick();

    QLabel* SettingsFile;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QLineEdit* EditPairExclude; // the selected pair's exclusion patterns
    QPushButton* btnSource;
    QPushButton* btnDestination;
    QPushButton* btnAdd;
    QPushButton* btnRemove;
    QToolButton* btnUp;
    QToolButton* btnDown;
    QCheckBox* chkAutoPilot;
    QComboBox* cbTimer;
    QRadioButton* rbMove;
    QRadioButton* rbDel;
    QCheckBox* LogFileEnable;
    QCheckBox* LogFileOverwrite;
    QCheckBox* AttachLogToEMail;
    QLineEdit* LogFileName;
    QToolButton* btnLogFile;
    QCheckBox* SendEMailEnable;
    QLineEdit* SmtpServer;
    QLineEdit* MailFromAddress;
    QLineEdit* MailToAddress;
    QLineEdit* SmtpPort;
    QComboBox* SmtpSecurity; // "None", "STARTTLS", "TLS"
    QLineEdit* SmtpUser;
    QLineEdit* SmtpPassword;
    QLineEdit* SmtpPasswordFile;
    QLineEdit* SmtpTrustFile;
    QLineEdit* EditExclude; // exclusion patterns of every pair
    QListWidget* FolderList;

signals:
    // The auto-pilot box or the interval changed: the timer must be armed again.
    void autoPilotChanged();

private:
    QWidget* buildFolderSelection();
    QWidget* buildMoreOptions();
    QWidget* buildMail();
    QWidget* buildFolderList();
    void bindControls();
    void showSelectedExclude();

    MirrorSettings& m_settings;
    desktop::Dialogs& m_dialogs;
    bool m_filling = false;
};

} // namespace mirror
