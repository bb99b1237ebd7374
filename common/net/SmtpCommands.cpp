// TCustomSmtpClient's commands: HELO/EHLO, AUTH, VRFY, MAIL FROM, RCPT TO, QUIT and RSET.
// DATA is in SmtpData.cpp.

#include "CustomSmtpClient.h"

#include "detail/SmtpCodecs.h"

#include <algorithm>
#include <utility>

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
    const std::string command = "EHLO " + heloArgument();
    m_extensions = {};
    m_collectingEhlo = true;
    execCommand(TSmtpRequest::smtpRqEhlo, command, { 250 }, [this] {
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

// ---- STARTTLS -----------------------------------------------------------------------------

void TCustomSmtpClient::doStartTls()
{
    checkReady();
    if (!Connected())
        misuse("not connected");
    if (!m_extensions.startTls || TlsActive()) {
        startRequest(TSmtpRequest::smtpRqStartTls);
        return localFailure(TlsActive() ? "500 TLS is on already." : kNoStartTlsText, 500);
    }
    execCommand(TSmtpRequest::smtpRqStartTls, "STARTTLS", { 220 }, [this] {
        if (engine().result() != 0)
            return completeRequest(engine().result());
        startTls([this](int error) {
            if (error != 0)
                return localFailure(tlsFailureReply(), error);
            // What the server offered in clear counts no more.
            m_ehloSupported = false;
            m_extensions = {};
            completeRequest(0);
        });
    });
}

// ---- AUTH ---------------------------------------------------------------------------------

// AutoSelect: the first mechanism of the preferred order that the server offers.
TSmtpAuthType TCustomSmtpClient::chosenAuth() const
{
    if (AuthType != TSmtpAuthType::smtpAuthAutoSelect)
        return AuthType;
    using A = TSmtpAuthType;
    const std::vector<std::pair<const char*, A>> order = TlsActive()
        ? std::vector<std::pair<const char*, A>> { { "PLAIN", A::smtpAuthPlain },
              { "LOGIN", A::smtpAuthLogin },
              { "CRAM-MD5", A::smtpAuthCramMD5 } }
        : std::vector<std::pair<const char*, A>> { { "CRAM-MD5", A::smtpAuthCramMD5 },
              { "PLAIN", A::smtpAuthPlain },
              { "LOGIN", A::smtpAuthLogin } };
    const std::vector<std::string>& offered = m_extensions.auth;
    for (const auto& [name, type] : order) {
        if (std::find(offered.begin(), offered.end(), name) != offered.end())
            return type;
    }
    return A::smtpAuthAutoSelect;
}

void TCustomSmtpClient::doAuth()
{
    checkReady();
    if (!Connected())
        misuse("not connected");
    const TSmtpAuthType type = chosenAuth();
    std::string refusal = !m_ehloSupported     ? "500 ESMTP not supported."
        : type == TSmtpAuthType::smtpAuthNone  ? "500 No Authorization Type Selected."
        : !TlsActive() && !peerIsLoopback()    ? "500 Log-in refused: the connection to " + Host
                + " is not encrypted (choose STARTTLS or TLS)."
        : type == TSmtpAuthType::smtpAuthAutoSelect ? "500 The server offers no log-in method this client knows."
                                                    : "";
    if (!refusal.empty()) {
        startRequest(TSmtpRequest::smtpRqAuth);
        return localFailure(refusal, 500);
    }
    switch (type) {
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
