#pragma once

// TCustomSmtpClient: the SMTP protocol engine (RFC 5321) on a TWSocket. Every operation
// returns at once; it ends with OnRequestDone, posted to the event loop, carrying the request
// type and 0 or an error (a reply code, a Winsock error number, 426 or 500). Open and Mail run
// several commands in a row and report once. Failures of the exchange never raise: they give
// a non-zero result, LastResponse (the last reply or a made-up "500 ..." line) and
// ErrorMessage (the first error of the request). Misuse raises SmtpException.

#include "SmtpReplyBuffer.h"
#include "SmtpTypes.h"
#include "WSocket.h"

#include "common/core/EventLoop.h"

#include <functional>
#include <string>
#include <vector>

namespace net {

class TCustomSmtpClient
{
public:
    using TSmtpDisplay = std::function<void(TCustomSmtpClient& sender, const std::string& text)>;
    using TSmtpGetDataEvent
        = std::function<void(TCustomSmtpClient& sender, int lineNumber, std::string& line, int maxLength, bool& more)>;
    using TSmtpHeaderLineEvent = std::function<void(TCustomSmtpClient& sender, std::string& line)>;
    using TSmtpProcessHeaderEvent = std::function<void(TCustomSmtpClient& sender, std::vector<std::string>& lines)>;
    using TSmtpRequestDone = std::function<void(TCustomSmtpClient& sender, TSmtpRequest request, int error)>;
    using TSmtpErrorEvent = std::function<void(TCustomSmtpClient& sender, int error)>;
    using TSmtpNotifyEvent = std::function<void(TCustomSmtpClient& sender)>;

    static constexpr int kVersionMajor = 2;
    static constexpr int kVersionMinor = 32;
    // Longest body line sent; longer lines are cut.
    static constexpr int kMaxBodyLine = 1023;

    TCustomSmtpClient();
    virtual ~TCustomSmtpClient();
    TCustomSmtpClient(const TCustomSmtpClient&) = delete;
    TCustomSmtpClient& operator=(const TCustomSmtpClient&) = delete;

    std::string Host;
    std::string Port = "smtp";
    std::string LocalAddr = "0.0.0.0";
    // Argument of HELO/EHLO; empty means the local host name.
    std::string SignOn;
    std::string Username;
    std::string Password;
    TSmtpAuthType AuthType = TSmtpAuthType::smtpAuthNone;
    std::string FromName;
    std::vector<std::string> RcptName;
    std::string HdrFrom;
    std::string HdrTo;
    std::string HdrCc;
    std::string HdrReplyTo;
    std::string HdrReturnPath;
    std::string HdrSubject;
    std::string HdrSender;
    std::string CharSet = "iso-8859-1";
    TSmtpContentType ContentType = TSmtpContentType::smtpPlainText;
    // When set no header lines are generated: the body brings its own.
    bool OwnHeaders = false;

    // Fills RcptName from a text, one entry per line (CR LF, CR or LF).
    void SetRcptNameText(const std::string& text);

    TSmtpState State() const { return m_state; }
    const std::string& LastResponse() const { return m_lastResponse; }
    const std::string& ErrorMessage() const { return m_errorMessage; }
    int StatusCode() const { return m_statusCode; }
    int RequestResult() const { return m_requestResult; }
    TSmtpRequest RequestType() const { return m_requestType; }
    bool Connected() const { return m_connected; }
    TWSocket& Socket() { return m_socket; }

    void Connect();
    void Helo();
    void Ehlo();
    void Auth();
    void Vrfy();
    void MailFrom();
    void RcptTo();
    void Data();
    void Quit();
    void Rset();
    void Abort();
    // Connect and HELO, or Connect, EHLO and AUTH when an AuthType is chosen.
    void Open();
    // MAIL FROM, RCPT TO for every recipient, DATA.
    void Mail();

    TSmtpDisplay OnDisplay;
    TSmtpDisplay OnCommand;
    TSmtpDisplay OnResponse;
    TSmtpGetDataEvent OnGetData;
    TSmtpHeaderLineEvent OnHeaderLine;
    TSmtpProcessHeaderEvent OnProcessHeader;
    TSmtpRequestDone OnRequestDone;
    TSmtpErrorEvent OnSessionConnected;
    TSmtpErrorEvent OnSessionClosed;
    TSmtpNotifyEvent OnStateChange;

protected:
    // Called before the header is generated for DATA.
    virtual void prepareBody() { }
    // Last look at each header line before it is sent.
    virtual void headerLineHook(std::string& line) { (void)line; }
    // The next body line (at most maxLength bytes) into `line`; false when there is none.
    virtual bool fetchBodyLine(int lineNumber, std::string& line, int maxLength);
    // The media type of the text part: "text/plain" or "text/html".
    std::string mediaType() const;
    void setErrorMessage(const std::string& text);
    void setStatusCode(int code) { m_statusCode = code; }
    void setErrorMessageOver(const std::string& text) { m_errorMessage = text; }

private:
    enum Step : unsigned
    {
        stepConnect = 1u << 0,
        stepHelo = 1u << 1,
        stepEhlo = 1u << 2,
        stepAuth = 1u << 3,
        stepVrfy = 1u << 4,
        stepMailFrom = 1u << 5,
        stepRcptTo = 1u << 6,
        stepData = 1u << 7,
        stepQuit = 1u << 8,
    };
    using Action = std::function<void()>;

    void setState(TSmtpState state);
    void display(const std::string& text);
    void checkReady();
    void startRequest(TSmtpRequest request);
    void execCommand(TSmtpRequest request, const std::string& command, std::vector<int> accepted, Action done);
    void sendCommandLine(const std::string& command);
    void localFailure(const std::string& response, int result);
    void completeRequest(int error);
    void startMultiStep(TSmtpRequest request, unsigned steps);
    void nextStep();
    void runStep(unsigned step);
    // Runs engine code that may start the request's next command while it is not idle.
    void runInternal(const Action& action);

    void onDnsLookupDone(int error);
    void onSocketConnected(int error);
    void onSocketClosed(int error);
    void onDataAvailable();
    void onDataSent();
    void processLine(const std::string& line);
    bool takeReplyLine(const std::string& line, int& code);
    void onBannerLine(const std::string& line);
    void onResponseLine(const std::string& line);

    std::string heloArgument() const;
    void authPlain();
    void authLogin();
    void authCramMd5();
    void rcptToNext(std::size_t index);
    void buildHeaderLines();
    void dataStart();
    void sendNextDataLine();
    void sendDataLine(const std::string& line);

    TWSocket m_socket;
    core::Poster m_poster;
    SmtpReplyBuffer m_reply;
    TSmtpState m_state = TSmtpState::smtpReady;
    std::string m_lastResponse;
    std::string m_errorMessage;
    int m_statusCode = 0;
    bool m_connected = false;
    bool m_ehloSupported = false;

    TSmtpRequest m_requestType = TSmtpRequest::smtpRqConnect;
    bool m_requestDone = true;
    int m_requestResult = 0;
    std::vector<int> m_accepted;
    Action m_doneAction;

    bool m_multiStep = false;
    bool m_inStep = false;
    unsigned m_steps = 0;
    unsigned m_lastStep = 0;
    int m_lastStepResult = 0;
    int m_overallResult = 0;
    TSmtpRequest m_multiRequest = TSmtpRequest::smtpRqOpen;

    std::vector<std::string> m_headerLines;
    std::size_t m_headerIndex = 0;
    int m_bodyLineCount = 0;
    bool m_moreData = false;
    bool m_dataTransfer = false;
    bool m_lineInFlight = false;
};

} // namespace net
