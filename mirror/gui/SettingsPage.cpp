#include "SettingsPage.h"

#include "common/desktop/gui/Dialogs.h"
#include "common/desktop/gui/QtText.h"
#include "common/net/MailSettings.h"
#include "mirror/core/MirrorSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace mirror {

namespace {

constexpr int HintMs = 5000;

// Tight spacing: the whole page has to fit the window's 640 by 480 start size.
template <typename Layout> Layout* compact(Layout* layout)
{
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(4);
    return layout;
}

} // namespace

SettingsPage::SettingsPage(MirrorSettings& settings, desktop::Dialogs& dialogs, QWidget* parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_dialogs(dialogs)
{
    SettingsFile = new QLabel;
    SettingsFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = compact(new QVBoxLayout(this));
    layout->addWidget(SettingsFile);
    layout->addWidget(buildFolderSelection());
    layout->addWidget(buildMoreOptions());
    layout->addWidget(buildFolderList(), 1);
    bindControls();
}

QWidget* SettingsPage::buildFolderSelection()
{
    auto* box = new QGroupBox(QStringLiteral("Folder Selection:"));
    auto* grid = compact(new QGridLayout(box));
    Edit1 = new QLineEdit;
    Edit2 = new QLineEdit;
    btnSource = new QPushButton(QStringLiteral("Select Folder..."));
    btnDestination = new QPushButton(QStringLiteral("Select Folder..."));
    btnAdd = new QPushButton(QStringLiteral("&Add To List"));
    btnRemove = new QPushButton(QStringLiteral("Remove"));
    btnUp = new QToolButton;
    btnDown = new QToolButton;
    btnUp->setArrowType(Qt::UpArrow);
    btnDown->setArrowType(Qt::DownArrow);
    for (QToolButton* arrow : { btnUp, btnDown }) {
        arrow->setToolTip(QStringLiteral("Reorder Folder List Items"));
        arrow->setToolTipDuration(HintMs);
    }
    grid->addWidget(new QLabel(QStringLiteral("Source Path:")), 0, 0);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(btnSource, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Destination Path:")), 1, 0);
    grid->addWidget(Edit2, 1, 1);
    grid->addWidget(btnDestination, 1, 2);
    auto* row = new QHBoxLayout;
    row->addWidget(btnAdd);
    row->addWidget(btnRemove);
    row->addStretch();
    row->addWidget(btnUp);
    row->addWidget(btnDown);
    grid->addLayout(row, 2, 1, 1, 2);
    EditPairExclude = new QLineEdit;
    EditPairExclude->setPlaceholderText(QStringLiteral("patterns of the selected pair, as *.tmp; cache/; /build/; !keep.tmp"));
    EditPairExclude->setToolTip(QStringLiteral("Left out of the selected pair, after the patterns for every pair; "
                                               "the last pattern that matches decides"));
    EditPairExclude->setEnabled(false);
    grid->addWidget(new QLabel(QStringLiteral("Exclude (this pair):")), 3, 0);
    grid->addWidget(EditPairExclude, 3, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    return box;
}

QWidget* SettingsPage::buildMoreOptions()
{
    auto* box = new QGroupBox(QStringLiteral("More Options:"));
    auto* grid = compact(new QGridLayout(box));
    auto* autoPilot = new QHBoxLayout;
    chkAutoPilot = new QCheckBox(QStringLiteral("Auto Pilot Interval (in minutes)"));
    cbTimer = new QComboBox;
    cbTimer->setEditable(true);
    cbTimer->addItems({ QStringLiteral("30"), QStringLiteral("60"), QStringLiteral("120"), QStringLiteral("300") });
    cbTimer->setToolTipDuration(HintMs);
    autoPilot->addWidget(chkAutoPilot);
    autoPilot->addWidget(cbTimer);
    autoPilot->addStretch();
    grid->addLayout(autoPilot, 0, 0);

    auto* protection = new QGroupBox(QStringLiteral("Deleted Files Protection:"));
    auto* protectionLayout = compact(new QVBoxLayout(protection));
    rbMove = new QRadioButton(QStringLiteral("Move to DELETED sub-folder "));
    rbDel = new QRadioButton(QStringLiteral("Delete to Recycle Bin (if applicable)"));
    protectionLayout->addWidget(rbMove);
    protectionLayout->addWidget(rbDel);
    grid->addWidget(protection, 1, 0);

    auto* log = new QGroupBox(QStringLiteral("Log File: "));
    auto* logLayout = compact(new QGridLayout(log));
    LogFileEnable = new QCheckBox(QStringLiteral("Enable Log File"));
    LogFileOverwrite = new QCheckBox(QStringLiteral("Overwrite log file"));
    AttachLogToEMail = new QCheckBox(QStringLiteral("Attach to EMail"));
    LogFileName = new QLineEdit;
    btnLogFile = new QToolButton;
    btnLogFile->setText(QStringLiteral("..."));
    logLayout->addWidget(LogFileEnable, 0, 0);
    logLayout->addWidget(LogFileOverwrite, 0, 1);
    logLayout->addWidget(AttachLogToEMail, 1, 0);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(LogFileName, 1);
    fileRow->addWidget(btnLogFile);
    logLayout->addLayout(fileRow, 2, 0, 1, 2);
    grid->addWidget(log, 0, 1, 2, 1);

    grid->addWidget(buildMail(), 2, 0, 1, 2);
    auto* exclude = new QHBoxLayout;
    EditExclude = new QLineEdit;
    EditExclude->setPlaceholderText(QStringLiteral("patterns for every pair, as *.tmp; cache/"));
    EditExclude->setToolTip(QStringLiteral("gitignore patterns separated by \";\" (\\; inside one)"));
    exclude->addWidget(new QLabel(QStringLiteral("Exclude (all pairs):")));
    exclude->addWidget(EditExclude, 1);
    grid->addLayout(exclude, 3, 0, 1, 2);
    return box;
}

QWidget* SettingsPage::buildMail()
{
    auto* mail = new QGroupBox(QStringLiteral("Send EMail on completion: "));
    auto* rows = compact(new QVBoxLayout(mail));
    const auto row = [rows] {
        auto* line = new QHBoxLayout;
        line->setSpacing(4);
        rows->addLayout(line);
        return line;
    };
    const auto field = [](const char* hint) {
        auto* edit = new QLineEdit;
        edit->setToolTip(QString::fromLatin1(hint));
        edit->setToolTipDuration(HintMs);
        return edit;
    };
    SendEMailEnable = new QCheckBox(QStringLiteral("Send Email"));
    SmtpServer = field("mail.example.org, or host:port, or [IPv6 address]:port");
    MailFromAddress = new QLineEdit;
    MailToAddress = new QLineEdit;
    QHBoxLayout* first = row();
    first->addWidget(SendEMailEnable);
    first->addWidget(new QLabel(QStringLiteral("SMTP Server:")));
    first->addWidget(SmtpServer, 1);
    first->addWidget(new QLabel(QStringLiteral("From:")));
    first->addWidget(MailFromAddress, 1);
    first->addWidget(new QLabel(QStringLiteral("To:")));
    first->addWidget(MailToAddress, 1);

    SmtpPort = field("Empty: 25, or 587 with STARTTLS, 465 with TLS; a port in the server field wins");
    SmtpPort->setMaximumWidth(50);
    SmtpSecurity = new QComboBox;
    for (const net::TlsMode mode : { net::TlsMode::None, net::TlsMode::StartTls, net::TlsMode::Implicit })
        SmtpSecurity->addItem(QString::fromLatin1(net::securityName(mode)));
    SmtpSecurity->setToolTip(
        QStringLiteral("STARTTLS: submission, mostly on port 587; TLS: encrypted from the first byte, mostly on 465"));
    SmtpUser = field("Log-in name; empty: no log-in");
    SmtpPassword = field("Kept in RPL.INI, which is then saved for its owner's eyes only; or leave it empty "
                         "and name a password file");
    SmtpPassword->setEchoMode(QLineEdit::Password);
    QHBoxLayout* second = row();
    second->addWidget(new QLabel(QStringLiteral("Port:")));
    second->addWidget(SmtpPort);
    second->addWidget(new QLabel(QStringLiteral("Security:")));
    second->addWidget(SmtpSecurity);
    second->addWidget(new QLabel(QStringLiteral("User:")));
    second->addWidget(SmtpUser, 1);
    second->addWidget(new QLabel(QStringLiteral("Password:")));
    second->addWidget(SmtpPassword, 1);

    SmtpPasswordFile = field("Its first line is the password; a relative name is looked up in "
                             "$CREDENTIALS_DIRECTORY, then beside RPL.INI");
    SmtpTrustFile = field("Certificates (PEM) trusted beside the system's, such as an office's own authority");
    QHBoxLayout* third = row();
    third->addWidget(new QLabel(QStringLiteral("Password file:")));
    third->addWidget(SmtpPasswordFile, 1);
    third->addWidget(new QLabel(QStringLiteral("Trust file:")));
    third->addWidget(SmtpTrustFile, 1);
    return mail;
}

QWidget* SettingsPage::buildFolderList()
{
    auto* box = new QGroupBox(QStringLiteral("Folders List:"));
    FolderList = new QListWidget;
    FolderList->setMinimumHeight(60);
    compact(new QVBoxLayout(box))->addWidget(FolderList);
    return box;
}

void SettingsPage::bindControls()
{
    auto flag = [this](QCheckBox* box, bool MirrorSettings::*field) {
        connect(box, &QCheckBox::toggled, this, [this, field](bool on) { m_settings.*field = on; });
    };
    auto text = [this](QLineEdit* edit, std::string MirrorSettings::*field) {
        connect(edit, &QLineEdit::textChanged, this, [this, field](const QString& t) {
            m_settings.*field = desktop::toBytes(t);
        });
    };
    flag(LogFileEnable, &MirrorSettings::logFileEnable);
    flag(LogFileOverwrite, &MirrorSettings::logFileOverwrite);
    flag(AttachLogToEMail, &MirrorSettings::attachLogToEMail);
    flag(SendEMailEnable, &MirrorSettings::sendEMailEnable);
    text(LogFileName, &MirrorSettings::logFileName);
    text(SmtpServer, &MirrorSettings::smtpServer);
    text(MailFromAddress, &MirrorSettings::mailFromAddress);
    text(MailToAddress, &MirrorSettings::mailToAddress);
    text(SmtpPort, &MirrorSettings::smtpPort);
    text(SmtpUser, &MirrorSettings::smtpUser);
    text(SmtpPassword, &MirrorSettings::smtpPassword);
    text(SmtpPasswordFile, &MirrorSettings::smtpPasswordFile);
    text(SmtpTrustFile, &MirrorSettings::smtpTrustFile);
    connect(SmtpSecurity, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_filling && index >= 0)
            m_settings.smtpSecurity = net::securityName(static_cast<net::TlsMode>(index));
    });
    text(EditExclude, &MirrorSettings::exclude);
    connect(EditPairExclude, &QLineEdit::textEdited, this, [this](const QString& t) {
        m_settings.folders.setExclude(m_settings.folders.selected(), desktop::toBytes(t));
    });

    connect(chkAutoPilot, &QCheckBox::clicked, this, [this](bool on) {
        m_settings.autoPilotEnabled = on;
        emit autoPilotChanged();
    });
    connect(cbTimer, &QComboBox::editTextChanged, this, [this](const QString& t) {
        m_settings.autoPilotInterval = desktop::toBytes(t);
        if (!m_filling)
            emit autoPilotChanged();
    });
    for (QRadioButton* button : { rbMove, rbDel })
        connect(button, &QRadioButton::clicked, this, [this] { m_settings.delOption = rbDel->isChecked(); });

    connect(btnAdd, &QPushButton::clicked, this, &SettingsPage::btnAddClick);
    connect(btnRemove, &QPushButton::clicked, this, &SettingsPage::btnRemoveClick);
    connect(btnUp, &QToolButton::clicked, this, &SettingsPage::moveUpClick);
    connect(btnDown, &QToolButton::clicked, this, &SettingsPage::moveDownClick);
    connect(btnSource, &QPushButton::clicked, this, &SettingsPage::btnSourceClick);
    connect(btnDestination, &QPushButton::clicked, this, &SettingsPage::btnDestinationClick);
    connect(btnLogFile, &QToolButton::clicked, this, &SettingsPage::btnLogFileClick);
    connect(FolderList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_filling)
            m_settings.folders.select(row);
        showSelectedExclude();
    });
    connect(FolderList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (!m_filling)
            m_settings.folders.setEnabled(FolderList->row(item), item->checkState() == Qt::Checked);
    });
}

void SettingsPage::showSettings(const QString& settingsPath)
{
    m_filling = true;
    chkAutoPilot->setChecked(m_settings.autoPilotEnabled);
    cbTimer->setEditText(desktop::toQString(m_settings.autoPilotInterval));
    cbTimer->setEnabled(m_settings.autoPilotEnabled);
    rbDel->setChecked(m_settings.delOption);
    rbMove->setChecked(!m_settings.delOption);
    LogFileEnable->setChecked(m_settings.logFileEnable);
    LogFileOverwrite->setChecked(m_settings.logFileOverwrite);
    AttachLogToEMail->setChecked(m_settings.attachLogToEMail);
    LogFileName->setText(desktop::toQString(m_settings.logFileName));
    SendEMailEnable->setChecked(m_settings.sendEMailEnable);
    SmtpServer->setText(desktop::toQString(m_settings.smtpServer));
    MailFromAddress->setText(desktop::toQString(m_settings.mailFromAddress));
    MailToAddress->setText(desktop::toQString(m_settings.mailToAddress));
    SmtpPort->setText(desktop::toQString(m_settings.smtpPort));
    SmtpSecurity->setCurrentIndex(static_cast<int>(net::securityOf(m_settings.smtpSecurity)));
    SmtpUser->setText(desktop::toQString(m_settings.smtpUser));
    SmtpPassword->setText(desktop::toQString(m_settings.smtpPassword));
    SmtpPasswordFile->setText(desktop::toQString(m_settings.smtpPasswordFile));
    SmtpTrustFile->setText(desktop::toQString(m_settings.smtpTrustFile));
    EditExclude->setText(desktop::toQString(m_settings.exclude));
    SettingsFile->setText(QStringLiteral("Settings File: ") + settingsPath);
    m_filling = false;
    refreshFolderList();
}

void SettingsPage::refreshFolderList()
{
    m_filling = true;
    FolderList->clear();
    for (const FolderPair& pair : m_settings.folders.items()) {
        auto* item = new QListWidgetItem(desktop::toQString(pair.text), FolderList);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(pair.enabled ? Qt::Checked : Qt::Unchecked);
    }
    FolderList->setCurrentRow(m_settings.folders.selected());
    m_filling = false;
    showSelectedExclude();
}

void SettingsPage::showSelectedExclude()
{
    const int selected = m_settings.folders.selected();
    const bool any = selected >= 0 && selected < m_settings.folders.count();
    EditPairExclude->setEnabled(any);
    EditPairExclude->setText(any ? desktop::toQString(m_settings.folders.at(selected).exclude) : QString());
}

void SettingsPage::btnAddClick()
{
    if (m_settings.folders.add(desktop::toBytes(Edit1->text()), desktop::toBytes(Edit2->text())))
        refreshFolderList();
}

void SettingsPage::btnRemoveClick()
{
    if (m_settings.folders.removeSelected())
        refreshFolderList();
}

void SettingsPage::moveUpClick()
{
    if (m_settings.folders.moveSelectedUp())
        refreshFolderList();
}

void SettingsPage::moveDownClick()
{
    if (m_settings.folders.moveSelectedDown())
        refreshFolderList();
}

void SettingsPage::btnSourceClick()
{
    const QString folder = m_dialogs.chooseFolder(this, QStringLiteral("Source Path:"));
    if (!folder.isEmpty())
        Edit1->setText(folder);
    Edit1->setFocus();
}

void SettingsPage::btnDestinationClick()
{
    const QString folder = m_dialogs.chooseFolder(this, QStringLiteral("Destination Path:"));
    if (!folder.isEmpty())
        Edit2->setText(folder);
    Edit2->setFocus();
}

void SettingsPage::btnLogFileClick()
{
    const QString name = m_dialogs.chooseAnyFile(this, QStringLiteral("Log File Name"), LogFileName->text(), QString());
    if (!name.isEmpty())
        LogFileName->setText(name);
}

} // namespace mirror
