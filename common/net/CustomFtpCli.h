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

#include "ClientEvents.h"
#include "FtpTypes.h"

#include <functional>
#include <string>

namespace net {

class TCustomFtpCli : public ClientEvents<TCustomFtpCli, TFtpRequest>
{
public:
    // May change the command before it is displayed and sent.
    using TFtpCommand = std::function<void(TCustomFtpCli& sender, std::string& command)>;

    // Longest reply line read whole.
    static constexpr std::size_t kReplyLineLimit = 4095;

    TCustomFtpCli();

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

    TFtpState State() const { return static_cast<TFtpState>(state()); }
    TWSocket& ControlSocket() { return Socket(); }

    // Resolves HostName, connects to Port and reads the greeting; succeeds on 220.
    void Open();
    // Sends QUIT (221 accepted) and closes the connection once the reply is in.
    void Quit();
    // Drops the connection (or the look-up) at once and ends the running request with 426.
    void Abort();

    TFtpCommand OnCommand;

private:
    void doOpen();
    void doQuit();

    [[noreturn]] void raise(const std::string& message) const override { throw FtpException(message); }
    void fireCommand(std::string& command) override { engine().fire(OnCommand, *this, command); }
    void sessionClosed(int error) override;
    void lineReceived(const std::string& line) override;
    void greetingLine(const std::string& line) override;
    void replyLine(const std::string& line) override;
};

} // namespace net
