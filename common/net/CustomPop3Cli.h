#pragma once

// TCustomPop3Cli: a POP3 session (RFC 1939) on a TWSocket, as far as a monitor needs it:
// connect and read the greeting (Connect), say goodbye (Quit); no login is made. Every
// operation returns at once; it ends with OnRequestDone, posted to the event loop, carrying the
// request type and 0 or an error. Failures of the exchange never raise: they give a non-zero
// result, LastResponse (the last reply line or a made-up "-ERR ..." line) and ErrorMessage (the
// first error of the request). Misuse raises Pop3Exception.
//
// Quit ends only when the server has answered and then closed the connection; the result is
// 0 only when the answer began with "+". A server that closes without answering QUIT ends it
// at once with 10004; one that answers and keeps the connection open leaves it pending (the
// blocking wrapper's time-out ends it).
//
// Promises beyond the protocol:
//  - a reply line longer than 4093 bytes comes out in pieces of 4093 bytes, never overflowing;
//  - a command never reaches the wire as more than one line (CR and LF become blanks);
//  - Abort at any step ends the request: the client is ready again and not connected;
//  - any event handler may destroy the client; the client then stops where it was.

#include "LineReader.h"
#include "Pop3Types.h"
#include "RequestEngine.h"
#include "WSocket.h"

#include <functional>
#include <string>

namespace net {

class TCustomPop3Cli
{
public:
    using TPop3Display = std::function<void(TCustomPop3Cli& sender, const std::string& text)>;
    using TPop3RequestDone = std::function<void(TCustomPop3Cli& sender, TPop3Request request, int error)>;
    using TPop3ErrorEvent = std::function<void(TCustomPop3Cli& sender, int error)>;
    using TPop3NotifyEvent = std::function<void(TCustomPop3Cli& sender)>;

    // Longest piece of a reply line handed out at once.
    static constexpr std::size_t kReplyLineLimit = 4093;

    TCustomPop3Cli();
    virtual ~TCustomPop3Cli();
    TCustomPop3Cli(const TCustomPop3Cli&) = delete;
    TCustomPop3Cli& operator=(const TCustomPop3Cli&) = delete;

    std::string Host;
    std::string Port = "pop3";
    std::string LocalAddr = "0.0.0.0";
    // Kept for the login commands, which this client does not send.
    std::string UserName;
    std::string PassWord;

    TPop3State State() const { return m_state; }
    TPop3ProtocolState ProtocolState() const { return m_protocolState; }
    const std::string& LastResponse() const { return m_engine.lastResponse(); }
    const std::string& ErrorMessage() const { return m_engine.errorMessage(); }
    // 0 after a "+" reply, else 500 (426 after a time-out).
    int StatusCode() const { return m_engine.statusCode(); }
    int RequestResult() const { return m_engine.result(); }
    TPop3Request RequestType() const { return static_cast<TPop3Request>(m_engine.request()); }
    bool Connected() const { return m_connected; }
    // The APOP time stamp of the last greeting ("<...>"), empty when it had none.
    const std::string& TimeStamp() const { return m_timeStamp; }
    TWSocket& Socket() { return m_socket; }

    // Resolves Host, connects to Port and reads the greeting; succeeds when it begins with "+".
    void Connect();
    // Sends QUIT; see the class comment. Without a connection it succeeds at once.
    void Quit();
    // Drops the connection (or the look-up) at once and ends the running request with 426.
    void Abort();

    TPop3Display OnDisplay;
    TPop3Display OnResponse;
    TPop3RequestDone OnRequestDone;
    TPop3ErrorEvent OnSessionConnected;
    TPop3ErrorEvent OnSessionClosed;
    TPop3NotifyEvent OnStateChange;

protected:
    // A reply line came in (the blocking wrapper restarts its time-out).
    virtual void onLineTraffic() { }
    RequestEngine& engine() { return m_engine; }

private:
    void doConnect();
    void doQuit();
    void doAbort();

    void setState(TPop3State state);
    void display(const std::string& text);
    void checkReady();
    void startRequest(TPop3Request request);
    void sendCommand(const std::string& command);
    void localFailure(const std::string& response, int error);
    void completeRequest(int error);

    void onDnsLookupDone(int error);
    void onSocketConnected(int error);
    void onSocketClosed(int error);
    void onDataAvailable();
    void processLine(const std::string& line);
    void onBannerLine(const std::string& line);
    void onResponseLine(const std::string& line);

    TWSocket m_socket;
    RequestEngine m_engine;
    LineReader m_reply { kReplyLineLimit, LineEnd::CrLf, LineOverflow::Split };
    TPop3State m_state = TPop3State::pop3Ready;
    TPop3ProtocolState m_protocolState = TPop3ProtocolState::pop3Disconnected;
    TPop3ProtocolState m_nextProtocolState = TPop3ProtocolState::pop3Disconnected;
    bool m_connected = false;
    // QUIT was answered: the request now ends with the server's close.
    bool m_quitAnswered = false;
    std::string m_timeStamp;
};

// The component's published form; it adds nothing here.
using TPop3Cli = TCustomPop3Cli;

} // namespace net
