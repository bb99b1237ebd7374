#pragma once

// TCustomSmtpClient: the SMTP protocol engine (RFC 5321) on a TWSocket. Every operation
// returns at once; it ends with OnRequestDone, posted to the event loop, carrying the request
// type and 0 or an error (a reply code, a Winsock error number, 426 or 500). Open and Mail run
// several commands in a row and report once. Failures of the exchange never raise: they give
// a non-zero result, LastResponse (the last reply or a made-up "500 ..." line) and
// ErrorMessage (the first error of the request). Misuse raises SmtpException.
//
// Promises beyond the protocol:
//  - nothing a caller puts into a value reaches the wire as a line break of its own: header
//    values get blanks for CR and LF, every CR, LF or CR LF inside a body line starts a new
//    (dot-stuffed, cut) line, and a command stays one line;
//  - Abort, or a time-out of the blocking wrapper, at any step (look-up, connect, any command)
//    ends the whole request: the client is ready again and not connected;
//  - any event handler may destroy the client; the client then stops where it was;
//  - a password never crosses the network in clear: AUTH runs only over TLS or to a loopback
//    address, else the request fails with "500 Log-in refused: ...";
//  - with Security StartTls, Open upgrades the session (EHLO, STARTTLS, EHLO again) before
//    anything else is said, and fails before any log-in when the server offers no STARTTLS;
//    with Implicit, TLS starts right after the connect. A certificate that fails (expired, not
//    trusted, for another name) fails the request with a reply saying so, and verification
//    cannot be turned off.

#include "ClientEvents.h"
#include "SmtpTypes.h"
#include "detail/SmtpCodecs.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace net {

class TCustomSmtpClient : public ClientEvents<TCustomSmtpClient, TSmtpRequest>
{
public:
    using TSmtpDisplay = TextEvent;
    using TSmtpRequestDone = RequestDoneEvent;
    using TSmtpGetDataEvent
        = std::function<void(TCustomSmtpClient& sender, int lineNumber, std::string& line, int maxLength, bool& more)>;
    using TSmtpHeaderLineEvent = std::function<void(TCustomSmtpClient& sender, std::string& line)>;
    using TSmtpProcessHeaderEvent = std::function<void(TCustomSmtpClient& sender, std::vector<std::string>& lines)>;

    static constexpr int kVersionMajor = 2;
    static constexpr int kVersionMinor = 32;
    // Longest body line sent; longer lines are cut.
    static constexpr int kMaxBodyLine = 1023;
    static constexpr std::size_t kReplyBufferSize = 4096;

    TCustomSmtpClient();

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
    // Charset named for text of plain ASCII (and for 8-bit text that is not UTF-8).
    std::string CharSet = "iso-8859-1";
    TSmtpContentType ContentType = TSmtpContentType::smtpPlainText;
    // When set no header lines are generated: the body brings its own, and is sent unchanged.
    bool OwnHeaders = false;
    // How the session is secured; the certificate must name Host.
    TlsMode Security = TlsMode::None;
    // A PEM file of certificates trusted beside the system's (an office's own CA); empty: none.
    std::string TrustFile;

    static constexpr const char* kNoStartTlsText = "500 STARTTLS asked for, but the server does not offer it.";

    // Fills RcptName from a text, one entry per line (CR LF, CR or LF).
    void SetRcptNameText(const std::string& text);

    TSmtpState State() const { return static_cast<TSmtpState>(state()); }

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
    // STARTTLS and the upgrade (RFC 3207); the server's extensions must be asked again (EHLO).
    void StartTls();
    // Drops the connection (or the look-up) at once and ends the running request with 426.
    void Abort();
    // Connect and HELO, or Connect, EHLO and AUTH when an AuthType is chosen.
    void Open();
    // MAIL FROM, RCPT TO for every recipient, DATA.
    void Mail();

    TSmtpDisplay OnCommand;
    TSmtpGetDataEvent OnGetData;
    TSmtpHeaderLineEvent OnHeaderLine;
    TSmtpProcessHeaderEvent OnProcessHeader;

protected:
    // Called before the header is generated for DATA. Sets m_headerCharset and
    // m_headerTransferEncoding for the header's text type.
    virtual void prepareBody();
    // Last look at each header line before it is sent.
    virtual void headerLineHook(std::string& line) { (void)line; }
    // The next body line into `line`; false when there is none. A line may hold line breaks:
    // each starts a new line of the message.
    // Before each line of the message the blocking wrapper's time-out restarts (onLineTraffic).
    virtual bool fetchBodyLine(int lineNumber, std::string& line, int maxLength);
    // The media type of the text part: "text/plain" or "text/html".
    std::string mediaType() const;

    // The text type of the message header, chosen by prepareBody.
    std::string m_headerCharset;
    std::string m_headerTransferEncoding; // empty: no Content-Transfer-Encoding line

private:
    enum Step : unsigned
    {
        stepConnect = 1u << 0,
        stepHelo = 1u << 1,
        stepEhlo = 1u << 2,
        stepStartTls = 1u << 3,
        stepEhloAgain = 1u << 4, // after STARTTLS: no HELO to fall back to
        stepAuth = 1u << 5,
        stepVrfy = 1u << 6,
        stepMailFrom = 1u << 7,
        stepRcptTo = 1u << 8,
        stepData = 1u << 9,
        stepQuit = 1u << 10,
    };
    using Action = RequestEngine::Action;

    // The operations; the public ones above run these as entry points.
    void doConnect();
    void doHelo();
    void doEhlo();
    void doAuth();
    void doVrfy();
    void doMailFrom();
    void doRcptTo();
    void doData();
    void doQuit();
    void doRset();
    void doStartTls();
    void doAbort();

    // Also lets the engine's own next command through between the steps of Open or Mail.
    void checkReady() const;
    void startRequest(TSmtpRequest request);
    void execCommand(TSmtpRequest request, const std::string& command, std::vector<int> accepted, Action done);
    void completeRequest(int error) override;
    void startMultiStep(TSmtpRequest request, unsigned steps);
    void nextStep();
    void runStep(unsigned step);
    // Runs engine code that may start the request's next command while it is not idle.
    void runInternal(const Action& action);

    [[noreturn]] void raise(const std::string& message) const override { throw SmtpException(message); }
    void fireCommand(std::string& command) override { engine().fire(OnCommand, *this, command); }
    void sessionClosed(int error) override;
    void dataSent() override;
    bool takeReplyLine(const std::string& line, int& code);
    void greetingLine(const std::string& line) override;
    void replyLine(const std::string& line) override;

    std::string heloArgument() const;
    TSmtpAuthType chosenAuth() const;
    void authPlain();
    void authLogin();
    void authCramMd5();
    void rcptToNext(std::size_t index);
    void buildHeaderLines();
    void dataStart();
    void sendDataBatch();
    bool nextDataLine(std::string& line);

    bool m_ehloSupported = false;
    SmtpExtensions m_extensions;
    bool m_collectingEhlo = false;

    bool m_multiStep = false;
    bool m_inStep = false;
    unsigned m_steps = 0;
    unsigned m_lastStep = 0;
    int m_lastStepResult = 0;
    int m_overallResult = 0;
    TSmtpRequest m_multiRequest = TSmtpRequest::smtpRqOpen;

    std::vector<std::string> m_headerLines;
    std::size_t m_headerIndex = 0;
    // Lines of a body line that held line breaks, still to be sent.
    std::deque<std::string> m_pieces;
    int m_bodyLineCount = 0;
    bool m_moreData = false;
    bool m_dataTransfer = false;
    bool m_batchInFlight = false;
};

} // namespace net
