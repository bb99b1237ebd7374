// TCustomSmtpClient's commands: HELO/EHLO, AUTH, VRFY, MAIL FROM, RCPT TO, DATA with the
// line-by-line transfer, QUIT and RSET.

#include "CustomSmtpClient.h"

#include "SmtpCodecs.h"
#include "WSocketResolve.h"

#include <QDateTime>

namespace net {

namespace {

std::string trimmed(const std::string& text)
{
    return WSocketTrim(text);
}

} // namespace

std::string TCustomSmtpClient::heloArgument() const
{
    return SignOn.empty() ? TWSocket::LocalHostName() : SignOn;
}

void TCustomSmtpClient::Helo()
{
    execCommand(TSmtpRequest::smtpRqHelo, "HELO " + heloArgument(), { 250 }, nullptr);
}

void TCustomSmtpClient::Ehlo()
{
    execCommand(TSmtpRequest::smtpRqEhlo, "EHLO " + heloArgument(), { 250 }, [this] {
        if (m_requestResult == 0)
            m_ehloSupported = true;
        completeRequest(m_requestResult);
    });
}

void TCustomSmtpClient::Vrfy()
{
    execCommand(TSmtpRequest::smtpRqVrfy, "VRFY " + HdrTo, { 250 }, nullptr);
}

void TCustomSmtpClient::Rset()
{
    execCommand(TSmtpRequest::smtpRqRset, "RSET", { 250 }, nullptr);
}

void TCustomSmtpClient::MailFrom()
{
    execCommand(TSmtpRequest::smtpRqMailFrom, smtpMailFromCommand(FromName), { 250 }, nullptr);
}

void TCustomSmtpClient::Quit()
{
    checkReady();
    if (!m_connected) {
        startRequest(TSmtpRequest::smtpRqQuit);
        m_requestDone = false;
        completeRequest(0);
        return;
    }
    execCommand(TSmtpRequest::smtpRqQuit, "QUIT", { 221 }, nullptr);
}

// ---- AUTH ---------------------------------------------------------------------------------

void TCustomSmtpClient::Auth()
{
    checkReady();
    if (!m_connected)
        throw SmtpException("SMTP component not connected");
    const char* refusal = !m_ehloSupported        ? "500 ESMTP not supported."
        : AuthType == TSmtpAuthType::smtpAuthNone ? "500 No Authorization Type Selected."
                                                  : nullptr;
    if (refusal) {
        startRequest(TSmtpRequest::smtpRqAuth);
        m_requestDone = false;
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
        if (m_requestResult != 0)
            return completeRequest(m_requestResult);
        execCommand(TSmtpRequest::smtpRqAuth, base64Encode(Username), { 334 }, [this] {
            if (m_requestResult != 0)
                return completeRequest(m_requestResult);
            execCommand(TSmtpRequest::smtpRqAuth, base64Encode(Password), { 235 }, nullptr);
        });
    });
}

void TCustomSmtpClient::authCramMd5()
{
    execCommand(TSmtpRequest::smtpRqAuth, "AUTH CRAM-MD5", { 334 }, [this] {
        if (m_requestResult != 0)
            return completeRequest(m_requestResult);
        if (m_lastResponse.size() <= 4) {
            m_lastResponse = "500 Malformed MD5 Challege: " + m_lastResponse;
            m_statusCode = 500;
            setErrorMessage(m_lastResponse);
            m_requestResult = 500;
            return completeRequest(500);
        }
        const std::string answer = smtpCramMd5Answer(Username, Password, m_lastResponse.substr(4));
        execCommand(TSmtpRequest::smtpRqAuth, answer, { 235 }, nullptr);
    });
}

// ---- RCPT TO ------------------------------------------------------------------------------

void TCustomSmtpClient::RcptTo()
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

// ---- DATA ---------------------------------------------------------------------------------

void TCustomSmtpClient::Data()
{
    checkReady();
    if (!m_connected)
        throw SmtpException("SMTP component not connected");
    prepareBody();
    m_headerLines.clear();
    if (!OwnHeaders)
        buildHeaderLines();
    execCommand(TSmtpRequest::smtpRqData, "DATA", { 354 }, [this] { dataStart(); });
}

void TCustomSmtpClient::buildHeaderLines()
{
    auto& h = m_headerLines;
    if (!trimmed(HdrReplyTo).empty())
        h.push_back("Reply-To: " + HdrReplyTo);
    if (!trimmed(HdrReturnPath).empty())
        h.push_back("Return-Path: " + HdrReturnPath);
    if (!HdrFrom.empty())
        h.push_back("From: " + HdrFrom);
    if (!HdrTo.empty())
        h.push_back("To: " + HdrTo);
    if (!HdrCc.empty())
        h.push_back("Cc: " + HdrCc);
    h.push_back("Subject: " + HdrSubject);
    if (!trimmed(HdrSender).empty())
        h.push_back("Sender: " + HdrSender);
    else if (!trimmed(HdrFrom).empty())
        h.push_back("Sender: " + HdrFrom);
    h.emplace_back("Mime-Version: 1.0");
    h.push_back("Content-Type: " + mediaType() + "; charset=\"" + CharSet + "\"");
    h.push_back("Date: " + smtpDateText(QDateTime::currentDateTimeUtc()));
    h.push_back(
        "X-Mailer: NetClients SMTP Component V" + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor));
    if (OnProcessHeader)
        OnProcessHeader(*this, h);
    h.emplace_back();
}

void TCustomSmtpClient::dataStart()
{
    if (m_requestResult != 0)
        return completeRequest(m_requestResult);
    m_headerIndex = 0;
    m_bodyLineCount = 0;
    m_moreData = true;
    m_dataTransfer = true;
    sendNextDataLine();
}

// One line per round: the next goes out when the socket reports the previous one sent.
void TCustomSmtpClient::onDataSent()
{
    if (!m_dataTransfer || !m_lineInFlight)
        return;
    m_lineInFlight = false;
    runInternal([this] { sendNextDataLine(); });
}

void TCustomSmtpClient::sendNextDataLine()
{
    if (m_headerIndex < m_headerLines.size()) {
        // Header lines pass a 1024-byte line buffer: longer ones are cut like body lines.
        std::string line = m_headerLines[m_headerIndex++].substr(0, kMaxBodyLine);
        headerLineHook(line);
        if (OnHeaderLine)
            OnHeaderLine(*this, line);
        return sendDataLine(line);
    }
    if (m_moreData) {
        ++m_bodyLineCount;
        std::string line;
        try {
            m_moreData = fetchBodyLine(m_bodyLineCount, line, kMaxBodyLine);
        } catch (const std::exception&) {
            m_moreData = false;
        }
        if (m_moreData)
            return sendDataLine(smtpDotStuff(line.substr(0, kMaxBodyLine)));
    }
    m_dataTransfer = false;
    execCommand(TSmtpRequest::smtpRqData, ".", { 250 }, nullptr);
}

void TCustomSmtpClient::sendDataLine(const std::string& line)
{
    setState(TSmtpState::smtpInternalReady);
    if (OnDisplay)
        display("> " + line);
    m_lineInFlight = true;
    m_socket.SendStr(line + "\r\n");
}

bool TCustomSmtpClient::fetchBodyLine(int lineNumber, std::string& line, int maxLength)
{
    bool more = true;
    if (!OnGetData)
        return false;
    OnGetData(*this, lineNumber, line, maxLength, more);
    return more;
}

} // namespace net
