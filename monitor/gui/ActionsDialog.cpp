#include "monitor/gui/ActionsDialog.h"

#include "common/desktop/gui/QtText.h"
#include "common/net/MailSettings.h"
#include "monitor/core/AlertMail.h"
#include "monitor/core/MonitorController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace monitor {

namespace {

constexpr const char* PortHint = "Empty: 25, or 587 with STARTTLS, 465 with TLS; a port in the server field "
                                 "(host:port, [address]:port) wins";
constexpr const char* SecurityHint = "STARTTLS: submission, mostly on port 587; TLS: encrypted from the first byte, "
                                     "mostly on port 465";
constexpr const char* PasswordFileHint = "Its first line is the password; a relative name is looked up in "
                                         "$CREDENTIALS_DIRECTORY, then beside the data file";

QLineEdit* textField(const char* hint = nullptr)
{
    auto* field = new QLineEdit;
    if (hint)
        field->setToolTip(QString::fromLatin1(hint));
    return field;
}

} // namespace

TForm2::TForm2(MonitorController& controller, QWidget* parent)
    : QDialog(parent)
    , m_controller(controller)
{
    setWindowTitle(QString::fromLatin1(Caption));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    // The size of its contents and no other: a fixed dialog border.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(buildMailPart());
    auto* events = new QGridLayout;
    FailGroup = buildEventGroup("Test Fail (First Time):", cbFailEmail, cbFailRun, FailCommand);
    OKGroup = buildEventGroup("Test OK (After Fail):", cbOKEmail, cbOKRun, OKCommand);
    StartGroup = buildEventGroup("SEN Program Startup", cbStartEmail, cbStartRun, StartCommand);
    CloseGroup = buildEventGroup("SEN Program Shutdown", cbCloseEmail, cbCloseRun, CloseCommand);
    events->addWidget(FailGroup, 0, 0);
    events->addWidget(OKGroup, 0, 1);
    events->addWidget(StartGroup, 1, 0);
    events->addWidget(CloseGroup, 1, 1);
    layout->addLayout(events);
    layout->addWidget(buildKeepAliveGroup());

    showActions();
    connectEdits();
    m_controller.alerts().mailer().setView(this);
}

TForm2::~TForm2()
{
    m_controller.alerts().mailer().setView(nullptr);
}

QWidget* TForm2::buildMailPart()
{
    auto* part = new QWidget;
    auto* columns = new QHBoxLayout(part);
    columns->setContentsMargins(0, 0, 0, 0);
    auto* form = new QFormLayout;
    SMTPServer = textField("IP Address prefered over FQDN");
    SMTPPort = textField(PortHint);
    SMTPPort->setMaximumWidth(60);
    SMTPSecurity = new QComboBox;
    for (const net::TlsMode mode : { net::TlsMode::None, net::TlsMode::StartTls, net::TlsMode::Implicit })
        SMTPSecurity->addItem(QString::fromLatin1(net::securityName(mode)));
    SMTPSecurity->setToolTip(QString::fromLatin1(SecurityHint));
    SMTPUser = textField("Log-in name; empty: no log-in");
    SMTPPassword = textField("Kept in the data file, which is then saved for its owner's eyes only; or leave "
                             "it empty and name a password file");
    SMTPPassword->setEchoMode(QLineEdit::Password);
    SMTPPasswordFile = textField(PasswordFileHint);
    SMTPTrustFile = textField("Certificates (PEM) trusted beside the system's, such as an office's own authority");
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(SMTPPort);
    portRow->addWidget(new QLabel(QStringLiteral("Security:")));
    portRow->addWidget(SMTPSecurity);
    portRow->addStretch();
    EmailAddress = textField();
    FromAddress = textField("Enter a real or fake email here");
    SendCurrentStatus = new QComboBox;
    for (const char* choice : CurrentStatusChoices)
        SendCurrentStatus->addItem(QString::fromLatin1(choice));
    btnTestSMTP = new QPushButton(QStringLiteral("Test SMTP"));
    form->addRow(QStringLiteral("SMTP Server:"), SMTPServer);
    form->addRow(QStringLiteral("Port:"), portRow);
    form->addRow(QStringLiteral("User name:"), SMTPUser);
    form->addRow(QStringLiteral("Password:"), SMTPPassword);
    form->addRow(QStringLiteral("Password file:"), SMTPPasswordFile);
    form->addRow(QStringLiteral("Trust file:"), SMTPTrustFile);
    form->addRow(QStringLiteral("Email Address(es):"), EmailAddress);
    form->addRow(QStringLiteral("From Address:"), FromAddress);
    form->addRow(QStringLiteral("Include current status:"), SendCurrentStatus);
    form->addRow(QString(), btnTestSMTP);
    SMTPServer->setMinimumWidth(220);
    columns->addLayout(form);

    SmtpPane = new QPlainTextEdit;
    SmtpPane->setReadOnly(true);
    SmtpPane->setLineWrapMode(QPlainTextEdit::NoWrap);
    SmtpPane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SmtpPane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SmtpPane->setFixedSize(300, 150);
    columns->addWidget(SmtpPane);
    connect(btnTestSMTP, &QPushButton::clicked, this, &TForm2::btnTestSMTPClick);
    return part;
}

QGroupBox* TForm2::buildEventGroup(const char* title, QCheckBox*& email, QCheckBox*& run, QLineEdit*& command)
{
    auto* group = new QGroupBox(QString::fromLatin1(title));
    auto* grid = new QGridLayout(group);
    email = new QCheckBox(QStringLiteral("Send Email"));
    run = new QCheckBox(QStringLiteral("Run Program:"));
    command = textField(CommandHint);
    command->setMinimumWidth(240);
    grid->addWidget(email, 0, 0);
    grid->addWidget(run, 1, 0);
    grid->addWidget(command, 1, 1);
    return group;
}

QGroupBox* TForm2::buildKeepAliveGroup()
{
    KeepAliveGroup = new QGroupBox(QStringLiteral("SEN Keep Alive"));
    auto* row = new QHBoxLayout(KeepAliveGroup);
    SendKeepAlive = new QCheckBox(QStringLiteral("Send KeepAlive email every (hours) "));
    KeepAliveInterval = textField("Value must be betwee 1 and 24 hours");
    KeepAliveInterval->setMaximumWidth(40);
    row->addWidget(SendKeepAlive);
    row->addWidget(KeepAliveInterval);
    row->addStretch();
    return KeepAliveGroup;
}

void TForm2::connectEdits()
{
    AlertActions& a = m_controller.settings().actions;
    const auto text = [this](QLineEdit* field, std::string& value) {
        connect(field, &QLineEdit::textChanged, this, [this, &value](const QString& typed) {
            if (!m_showing)
                value = desktop::toBytes(typed);
        });
    };
    const auto flag = [this](QCheckBox* box, bool& value) {
        connect(box, &QCheckBox::toggled, this, [this, &value](bool on) {
            if (!m_showing)
                value = on;
        });
    };
    text(SMTPServer, a.smtpServer);
    text(SMTPPort, a.smtpPort);
    connect(SMTPSecurity, &QComboBox::currentIndexChanged, this, [this, &a](int index) {
        if (!m_showing && index >= 0)
            a.smtpSecurity = net::securityName(static_cast<net::TlsMode>(index));
    });
    text(SMTPUser, a.smtpUser);
    text(SMTPPassword, a.smtpPassword);
    text(SMTPPasswordFile, a.smtpPasswordFile);
    text(SMTPTrustFile, a.smtpTrustFile);
    text(EmailAddress, a.emailAddress);
    text(FromAddress, a.fromAddress);
    connect(SendCurrentStatus, &QComboBox::currentIndexChanged, this, [this, &a](int index) {
        if (!m_showing)
            a.sendCurrentStatus = index;
    });
    flag(cbFailEmail, a.failEmail);
    flag(cbFailRun, a.failRun);
    text(FailCommand, a.failCommand);
    flag(cbOKEmail, a.okEmail);
    flag(cbOKRun, a.okRun);
    text(OKCommand, a.okCommand);
    flag(cbStartEmail, a.startEmail);
    flag(cbStartRun, a.startRun);
    text(StartCommand, a.startCommand);
    flag(cbCloseEmail, a.closeEmail);
    flag(cbCloseRun, a.closeRun);
    text(CloseCommand, a.closeCommand);
    flag(SendKeepAlive, a.sendKeepAlive);
    text(KeepAliveInterval, a.keepAliveInterval);
}

void TForm2::showActions()
{
    const AlertActions& a = m_controller.settings().actions;
    m_showing = true;
    SMTPServer->setText(desktop::toQString(a.smtpServer));
    SMTPPort->setText(desktop::toQString(a.smtpPort));
    SMTPSecurity->setCurrentIndex(static_cast<int>(net::securityOf(a.smtpSecurity)));
    SMTPUser->setText(desktop::toQString(a.smtpUser));
    SMTPPassword->setText(desktop::toQString(a.smtpPassword));
    SMTPPasswordFile->setText(desktop::toQString(a.smtpPasswordFile));
    SMTPTrustFile->setText(desktop::toQString(a.smtpTrustFile));
    EmailAddress->setText(desktop::toQString(a.emailAddress));
    FromAddress->setText(desktop::toQString(a.fromAddress));
    // A stored number outside the list chooses nothing, as -1 does.
    SendCurrentStatus->setCurrentIndex(
        a.sendCurrentStatus >= 0 && a.sendCurrentStatus < SendCurrentStatus->count() ? a.sendCurrentStatus : -1);
    cbFailEmail->setChecked(a.failEmail);
    cbFailRun->setChecked(a.failRun);
    FailCommand->setText(desktop::toQString(a.failCommand));
    cbOKEmail->setChecked(a.okEmail);
    cbOKRun->setChecked(a.okRun);
    OKCommand->setText(desktop::toQString(a.okCommand));
    cbStartEmail->setChecked(a.startEmail);
    cbStartRun->setChecked(a.startRun);
    StartCommand->setText(desktop::toQString(a.startCommand));
    cbCloseEmail->setChecked(a.closeEmail);
    cbCloseRun->setChecked(a.closeRun);
    CloseCommand->setText(desktop::toQString(a.closeCommand));
    SendKeepAlive->setChecked(a.sendKeepAlive);
    KeepAliveInterval->setText(desktop::toQString(a.keepAliveInterval));
    m_showing = false;
}

void TForm2::showModal()
{
    showActions();
    adjustSize();
    if (const QScreen* shown = screen())
        move(shown->availableGeometry().center() - rect().center());
    exec();
}

void TForm2::btnTestSMTPClick()
{
    m_controller.alerts().TestSMTP();
}

void TForm2::clearSmtpPane()
{
    SmtpPane->clear();
}

void TForm2::appendSmtpPaneLine(const std::string& line)
{
    SmtpPane->appendPlainText(desktop::toQString(line));
}

void TForm2::showMailBusy(bool busy)
{
    btnTestSMTP->setEnabled(!busy);
}

} // namespace monitor
