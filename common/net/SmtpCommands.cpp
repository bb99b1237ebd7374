// TCustomSmtpClient's commands: HELO/EHLO, AUTH, VRFY, MAIL FROM, RCPT TO, QUIT and RSET.
// DATA is in SmtpData.cpp.

#include "CustomSmtpClient.h"

#include "detail/SmtpCodecs.h"

namespace net {

std::string TCustomSmtpClient::heloArgument() const
{
    return SignOn.empty() ? TWSocket::LocalHostName() : SignOn;
}

void TCustomSmtpClient::doHelo()
{
    execCommand(TSmtpRequest::smtpRqHelo, "HELO " + heloArgument(), { 250 }, nullptr);
}

void TCustomSmtpClient::doEhlo()
{
    execCommand(TSmtpRequest::smtpRqEhlo, "EHLO " + heloArgument(), { 250 }, [this] {
        if (engine().result() == 0)
            m_ehloSupported = true;
        completeRequest(engine().result());
    });
}

void TCustomSmtpClient::doVrfy()
{
    execCommand(TSmtpRequest::smtpRqVrfy, "VRFY " + HdrTo, { 250 }, nullptr);
}

void TCustomSmtpClient::doRset()
{
    execCommand(TSmtpRequest::smtpRqRset, "RSET", { 250 }, nullptr);
}

void TCustomSmtpClient::doMailFrom()
{
    execCommand(TSmtpRequest::smtpRqMailFrom, smtpMailFromCommand(FromName), { 250 }, nullptr);
}

void TCustomSmtpClient::doQuit()
{
    checkReady();
    if (!Connected()) {
        startRequest(TSmtpRequest::smtpRqQuit);
        completeRequest(0);
        return;
    }
    execCommand(TSmtpRequest::smtpRqQuit, "QUIT", { 221 }, nullptr);
}

// ---- AUTH ---------------------------------------------------------------------------------

void TCustomSmtpClient::doAuth()
{
    checkReady();
    if (!Connected())
        misuse("not connected");
    const char* refusal = !m_ehloSupported        ? "500 ESMTP not supported."
        : AuthType == TSmtpAuthType::smtpAuthNone ? "500 No Authorization Type Selected."
                                                  : nullptr;
    if (refusal) {
        startRequest(TSmtpRequest::smtpRqAuth);
        return localFailure(refusal, 500);
    }
    switch (AuthType) {
    case TSmtpAuthType::smtpAuthPlain:
        authPlain();
        break;
    case TSmtpAuthType::smtpAuthLogin:
        authLogin();
        break;
    default:
        authCramMd5();
        break;
    }
}

void TCustomSmtpClient::authPlain()
{
    execCommand(TSmtpRequest::smtpRqAuth, "AUTH PLAIN " + smtpAuthPlainArgument(Username, Password), { 235 }, nullptr);
}

void TCustomSmtpClient::authLogin()
{
    execCommand(TSmtpRequest::smtpRqAuth, "AUTH LOGIN", { 334 }, [this] {
        if (engine().result() != 0)
            return completeRequest(engine().result());
        execCommand(TSmtpRequest::smtpRqAuth, base64Encode(Username), { 334 }, [this] {
            if (engine().result() != 0)
                return completeRequest(engine().result());
            execCommand(TSmtpRequest::smtpRqAuth, base64Encode(Password), { 235 }, nullptr);
        });
    });
}

void TCustomSmtpClient::authCramMd5()
{
    execCommand(TSmtpRequest::smtpRqAuth, "AUTH CRAM-MD5", { 334 }, [this] {
        if (engine().result() != 0)
            return completeRequest(engine().result());
        const std::string challenge = engine().lastResponse();
        if (challenge.size() <= 4) {
            engine().localReply("500 Malformed MD5 Challege: " + challenge, 500);
            return completeRequest(500);
        }
        const std::string answer = smtpCramMd5Answer(Username, Password, challenge.substr(4));
        execCommand(TSmtpRequest::smtpRqAuth, answer, { 235 }, nullptr);
    });
}

// ---- RCPT TO ------------------------------------------------------------------------------

void TCustomSmtpClient::doRcptTo()
{
    if (RcptName.empty())
        throw SmtpException("RcptName list is empty");
    rcptToNext(0);
}

// Every recipient is tried; the reply to the last one decides the result.
void TCustomSmtpClient::rcptToNext(std::size_t index)
{
    Action next;
    if (index + 1 < RcptName.size())
        next = [this, index] { rcptToNext(index + 1); };
    execCommand(TSmtpRequest::smtpRqRcptTo, smtpRcptToCommand(RcptName[index]), { 250, 251 }, std::move(next));
}

} // namespace net
