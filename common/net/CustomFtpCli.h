#pragma once

// TCustomFtpCli: the FTP control connection (RFC 959) on a TWSocket, as far as a monitor needs
// it: connect and read the greeting (Open), say goodbye (Quit). Every operation returns at
// once; it ends with OnRequestDone, posted to the event loop, carrying the request type and 0
// or an error (a reply code, a Winsock error number, 426 or 500). Failures of the exchange
// never raise: they give a non-zero result, LastResponse (the last reply line or a made-up
// "500 ..." line) and ErrorMessage (the first error of the request). Misuse raises
// FtpException.
//
// Promises beyond the protocol:
//  - a connection that ends before the final line of a reply fails the request (10004), so a
//    server that closes without greeting, or without answering QUIT, is never a success;
//  - Quit without a connection ends at once with 10057: no reply can come;
//  - a command never reaches the wire as more than one line (CR and LF become blanks);
//  - a reply line longer than 4095 bytes is cut there, the rest up to its line end dropped;
//  - Abort, or a time-out of the blocking wrapper, at any step ends the request: the client is
//    ready again and not connected;
//  - any event handler may destroy the client; the client then stops where it was.

#include "FtpTypes.h"
#include "LineReader.h"
#include "RequestEngine.h"
#include "WSocket.h"

#include <functional>
#include <string>
#include <vector>

namespace net {

class TCustomFtpCli
{
public:
    using TFtpDisplay = std::function<void(TCustomFtpCli& sender, const std::string& text)>;
    // May change the command before it is displayed and sent.
    using TFtpCommand = std::function<void(TCustomFtpCli& sender, std::string& command)>;
    using TFtpRequestDone = std::function<void(TCustomFtpCli& sender, TFtpRequest request, int error)>;
    using TFtpErrorEvent = std::function<void(TCustomFtpCli& sender, int error)>;
    using TFtpNotifyEvent = std::function<void(TCustomFtpCli& sender)>;

    // Longest reply line read whole.
    static constexpr std::size_t kReplyLineLimit = 4095;

    TCustomFtpCli();
    virtual ~TCustomFtpCli();
    TCustomFtpCli(const TCustomFtpCli&) = delete;
    TCustomFtpCli& operator=(const TCustomFtpCli&) = delete;

    std::string HostName;
    std::string Port = "ftp";
    std::string LocalAddr = "0.0.0.0";
    bool Binary = true;
    TFtpShareMode ShareMode = TFtpShareMode::ftpShareExclusive;
    // A set of TFtpOption; with ftpAcceptLF a reply line may end with LF alone.
    unsigned Options = ftpAcceptLF;
    // Only ftpDirect is supported: Open raises for the others.
    TFtpConnectionType ConnectionType = TFtpConnectionType::ftpDirect;
    bool DisplayFileFlag = false;

    TFtpState State() const { return m_state; }
    const std::string& LastResponse() const { return m_engine.lastResponse(); }
    const std::string& ErrorMessage() const { return m_engine.errorMessage(); }
    int StatusCode() const { return m_engine.statusCode(); }
    int RequestResult() const { return m_engine.result(); }
    TFtpRequest RequestType() const { return static_cast<TFtpRequest>(m_engine.request()); }
    bool Connected() const { return m_connected; }
    TWSocket& ControlSocket() { return m_socket; }

    // Resolves HostName, connects to Port and reads the greeting; succeeds on 220.
    void Open();
    // Sends QUIT (221 accepted) and closes the connection once the reply is in.
    void Quit();
    // Drops the connection (or the look-up) at once and ends the running request with 426.
    void Abort();

    TFtpDisplay OnDisplay;
    TFtpCommand OnCommand;
    TFtpDisplay OnResponse;
    TFtpRequestDone OnRequestDone;
    TFtpErrorEvent OnSessionConnected;
    TFtpErrorEvent OnSessionClosed;
    TFtpNotifyEvent OnStateChange;

protected:
    RequestEngine& engine() { return m_engine; }

private:
    using Action = RequestEngine::Action;

    void doOpen();
    void doQuit();
    void doAbort();

    void setState(TFtpState state);
    void display(const std::string& text);
    void checkReady();
    void execCommand(TFtpRequest request, const std::string& command, std::vector<int> accepted, Action done);
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
    LineReader m_reply { kReplyLineLimit, LineEnd::Lf, LineOverflow::Cut };
    TFtpState m_state = TFtpState::ftpReady;
    bool m_connected = false;
};

} // namespace net
