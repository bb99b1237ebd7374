// The alert-actions dialog in the window: its controls and their design values, the configure
// command showing it modally, edits that live on after Esc, Test SMTP against aiosmtpd, and a
// close that waits for a mail on its way.

#include "WindowFixture.h"

#include "monitor/core/AlertDispatcher.h"
#include "monitor/gui/ActionsDialog.h"
#include "tests/net/SmtpServerFixture.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLayout>
#include <QTimer>

namespace {

QString tip(const QWidget* widget)
{
    return widget->toolTip();
}

// Runs `inside` once the dialog's own event loop runs, then closes it with Esc.
void whileShown(TForm2* dialog, std::function<void()> inside)
{
    QTimer::singleShot(0, dialog, [dialog, inside = std::move(inside)] {
        inside();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
}

} // namespace

TEST_F(WindowFixture, TheActionsDialogStartsHiddenWithItsDesignValues)
{
    open();
    TForm2* d = window->actionsDialog;
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(d->windowTitle(), "SEN Actions configuration");
    EXPECT_EQ(d->layout()->sizeConstraint(), QLayout::SetFixedSize);
    EXPECT_EQ(d->SMTPServer->text(), "127.0.0.1");
    EXPECT_EQ(tip(d->SMTPServer), "IP Address prefered over FQDN");
    EXPECT_EQ(d->EmailAddress->text(), "");
    EXPECT_EQ(d->FromAddress->text(), "SEN@mailhost.invalid");
    EXPECT_EQ(tip(d->FromAddress), "Enter a real or fake email here");
    EXPECT_EQ(d->SendCurrentStatus->currentIndex(), -1);
    ASSERT_EQ(d->SendCurrentStatus->count(), 3);
    EXPECT_EQ(d->SendCurrentStatus->itemText(1), "KeepAlive Only");
    EXPECT_FALSE(d->SendCurrentStatus->isEditable());
    EXPECT_EQ(d->btnTestSMTP->text(), "Test SMTP");
    EXPECT_TRUE(d->SmtpPane->isReadOnly());
    EXPECT_EQ(d->SmtpPane->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(d->SmtpPane->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(d->SmtpPane->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    struct Group
    {
        QGroupBox* box;
        const char* title;
        QCheckBox* email;
        QCheckBox* run;
        QLineEdit* command;
    };
    for (const Group& g :
        { Group { d->FailGroup, "Test Fail (First Time):", d->cbFailEmail, d->cbFailRun, d->FailCommand },
            Group { d->OKGroup, "Test OK (After Fail):", d->cbOKEmail, d->cbOKRun, d->OKCommand },
            Group { d->StartGroup, "SEN Program Startup", d->cbStartEmail, d->cbStartRun, d->StartCommand },
            Group { d->CloseGroup, "SEN Program Shutdown", d->cbCloseEmail, d->cbCloseRun, d->CloseCommand } }) {
        SCOPED_TRACE(g.title);
        EXPECT_EQ(g.box->title(), g.title);
        EXPECT_EQ(g.email->text(), "Send Email");
        EXPECT_EQ(g.run->text(), "Run Program:");
        EXPECT_FALSE(g.email->isChecked());
        EXPECT_FALSE(g.run->isChecked());
        EXPECT_EQ(g.command->text(), "");
        EXPECT_EQ(tip(g.command), "Use a BAT file and look for command line parameters %1 %2...");
    }
    EXPECT_EQ(d->KeepAliveGroup->title(), "SEN Keep Alive");
    EXPECT_EQ(d->SendKeepAlive->text(), "Send KeepAlive email every (hours) ");
    EXPECT_FALSE(d->SendKeepAlive->isChecked());
    EXPECT_EQ(d->KeepAliveInterval->text(), "12");
    EXPECT_EQ(tip(d->KeepAliveInterval), "Value must be betwee 1 and 24 hours");
    EXPECT_TRUE(window->actConfigure->isEnabled());
    EXPECT_TRUE(options->btnConfigure->isEnabled());
}

TEST_F(WindowFixture, TheDataFilesActionsShowInTheDialog)
{
    test::writeFile(ini,
        "[Actions]\r\nSMTPServer=mail.office.test\r\nEmailAddress=a@x; b@y\r\nFromAddress=sen@x\r\n"
        "SendCurrentStatus=2\r\nOKRun=1\r\nOKCommand=/usr/local/bin/ok.sh\r\nCloseEmail=1\r\n"
        "SendKeepAlive=1\r\nKeepAliveInterval=6\r\nSMTPPort=2587\r\nSMTPSecurity=starttls\r\nSMTPUser=sen\r\n"
        "SMTPPassword=pw\r\nSMTPPasswordFile=pw.txt\r\nSMTPTrustFile=office.pem\r\n");
    open();
    TForm2* d = window->actionsDialog;
    bool shown = false;
    whileShown(d, [&] {
        shown = d->isVisible() && QApplication::activeModalWidget() == d;
        EXPECT_EQ(d->SMTPServer->text(), "mail.office.test");
        EXPECT_EQ(d->EmailAddress->text(), "a@x; b@y");
        EXPECT_EQ(d->SendCurrentStatus->currentText(), "Always");
        EXPECT_TRUE(d->cbOKRun->isChecked());
        EXPECT_EQ(d->OKCommand->text(), "/usr/local/bin/ok.sh");
        EXPECT_TRUE(d->cbCloseEmail->isChecked());
        EXPECT_FALSE(d->cbFailEmail->isChecked());
        EXPECT_TRUE(d->SendKeepAlive->isChecked());
        EXPECT_EQ(d->KeepAliveInterval->text(), "6");
        EXPECT_EQ(d->SMTPPort->text(), "2587");
        EXPECT_EQ(d->SMTPSecurity->currentText(), "STARTTLS");
        EXPECT_EQ(d->SMTPUser->text(), "sen");
        EXPECT_EQ(d->SMTPPassword->text(), "pw");
        EXPECT_EQ(d->SMTPPassword->echoMode(), QLineEdit::Password);
        EXPECT_EQ(d->SMTPPasswordFile->text(), "pw.txt");
        EXPECT_EQ(d->SMTPTrustFile->text(), "office.pem");
    });
    window->actConfigure->trigger();
    EXPECT_TRUE(shown);
    EXPECT_FALSE(d->isVisible());
    // Running since the start: no question.
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_EQ(window->controller().alerts().keepAliveInterval(), 6 * 3'600'000);
}

TEST_F(WindowFixture, EditsLiveOnAfterEscAndTheKeepAliveQuestionComesOnce)
{
    open();
    TForm2* d = window->actionsDialog;
    dialogs.answer = false; // no keep-alive mail now
    whileShown(d, [&] {
        type(d->EmailAddress, "ops@office.test; boss@office.test");
        d->SendCurrentStatus->setCurrentIndex(1);
        d->cbFailRun->click();
        type(d->FailCommand, "/usr/local/bin/fail.sh");
        d->SendKeepAlive->click();
        d->KeepAliveInterval->selectAll();
        type(d->KeepAliveInterval, "3");
        d->SMTPSecurity->setCurrentIndex(2);
        type(d->SMTPUser, "alerts@example.org");
        type(d->SMTPPasswordFile, "smtp-password");
    });
    options->btnConfigure->click();
    const AlertActions& a = window->controller().settings().actions;
    EXPECT_EQ(a.emailAddress, "ops@office.test; boss@office.test");
    EXPECT_EQ(a.sendCurrentStatus, 1);
    EXPECT_TRUE(a.failRun);
    EXPECT_EQ(a.failCommand, "/usr/local/bin/fail.sh");
    EXPECT_TRUE(a.sendKeepAlive);
    EXPECT_EQ(a.keepAliveInterval, "3");
    EXPECT_EQ(a.smtpSecurity, "TLS");
    EXPECT_EQ(a.smtpUser, "alerts@example.org");
    EXPECT_EQ(a.smtpPasswordFile, "smtp-password");
    EXPECT_EQ(dialogs.questions, QStringList { "KeepAlive Enabled|Do you want to send a KeepAlive message now?" });
    EXPECT_EQ(window->controller().alerts().keepAliveInterval(), 3 * 3'600'000);
    const QDateTime since = window->controller().alerts().keepAliveSince();

    whileShown(d, [] {});
    window->actConfigure->trigger();
    EXPECT_EQ(dialogs.questions.size(), 1);
    EXPECT_EQ(window->controller().alerts().keepAliveSince(), since);

    // Out of range: the message, and the dialog shows the corrected values next time.
    whileShown(d, [&] {
        d->KeepAliveInterval->selectAll();
        type(d->KeepAliveInterval, "30");
    });
    window->actConfigure->trigger();
    EXPECT_EQ(dialogs.messages, QStringList { "Error in input - Keep Alive interval must be between 1 and 24" });
    whileShown(d, [&] {
        EXPECT_EQ(d->KeepAliveInterval->text(), "1");
        EXPECT_FALSE(d->SendKeepAlive->isChecked());
    });
    window->actConfigure->trigger();
    EXPECT_FALSE(window->controller().alerts().keepAliveRunning());
}

TEST_F(WindowFixture, TestSmtpFillsThePaneAndShowsTheResult)
{
    test::SmtpServerFixture server;
    ASSERT_TRUE(server.started());
    open();
    TForm2* d = window->actionsDialog;
    window->controller().settings().actions.smtpPort = std::to_string(server.port());
    const QString activity = window->Activity->toPlainText();
    whileShown(d, [&] {
        type(d->EmailAddress, "ops@office.test");
        d->btnTestSMTP->click();
    });
    window->actConfigure->trigger();
    EXPECT_EQ(dialogs.messages, QStringList { "Send OK." });
    const QStringList pane = d->SmtpPane->toPlainText().split(QLatin1Char('\n'));
    EXPECT_EQ(pane.first(), "* Sending email: SEN - TEST");
    EXPECT_EQ(pane.last(), "* Done.");
    EXPECT_TRUE(pane.contains("> RCPT TO:<ops@office.test>"));
    EXPECT_TRUE(d->btnTestSMTP->isEnabled());
    EXPECT_EQ(window->Activity->toPlainText(), activity);
    const QJsonObject mail = test::SmtpServerFixture::parse(server.waitForMessage(1));
    EXPECT_TRUE(mail["raw_header"].toString().contains("Subject: SEN - TEST\r\n"));
}

TEST_F(WindowFixture, ACloseDuringAMailWaitsForItThenSendsTheShutDownMail)
{
    test::SmtpServerFixture server;
    ASSERT_TRUE(server.started());
    open();
    AlertActions& a = window->controller().settings().actions;
    a.emailAddress = "ops@office.test";
    a.closeEmail = true;
    window->controller().settings().actions.smtpPort = std::to_string(server.port());
    bool visibleAfterClose = false;
    QTimer::singleShot(0, window.get(), [&] {
        window->close();
        visibleAfterClose = window->isVisible();
    });
    window->controller().alerts().SendAlertMail("Ping Fail to: 127.0.0.2 router", false);
    EXPECT_TRUE(visibleAfterClose);
    ASSERT_TRUE(core::waitFor([&] { return !window->isVisible(); }, std::chrono::seconds(20)));
    const auto subject = [&](int n) {
        const QJsonObject mail = test::SmtpServerFixture::parse(server.waitForMessage(n));
        const QString head = mail["raw_header"].toString();
        const qsizetype at = head.indexOf("Subject: ");
        return head.mid(at + 9, head.indexOf("\r\n", at) - at - 9);
    };
    EXPECT_TRUE(subject(1).startsWith("Ping Fail to: 127.0.0.2 router "));
    EXPECT_TRUE(subject(2).startsWith("SEN ShutDown SEN.INI "));
}
