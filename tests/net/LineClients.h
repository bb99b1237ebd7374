#pragma once

// The FTP, POP3 and IMAP clients side by side, for the tests that hold for all: how each is
// pointed at a server, opened and closed, what its server says, and where they differ.

#include "common/net/FtpClient.h"
#include "common/net/SyncImapCli.h"
#include "common/net/SyncPop3Cli.h"
#include "common/net/WinsockErrors.h"

#include <string>

namespace test {

struct FtpClientKind
{
    using Client = net::TFtpClient;
    using Base = net::TCustomFtpCli;
    using Request = net::TFtpRequest;
    using Misuse = net::FtpException;
    static constexpr const char* Prefix = "500 ";
    static constexpr const char* Component = "FTP";
    static constexpr const char* Greeting = "220 ready\r\n";
    // A greeting that stops before its end.
    static constexpr const char* CutGreeting = "220-more to come\r\n";
    static constexpr const char* Goodbye = "221 bye\r\n";
    static constexpr Request OpenRequest = Request::ftpRqOpen;
    // SyncQuit without a connection: nobody can answer.
    static constexpr bool QuitWithoutConnection = false;
    static constexpr int QuitWithoutConnectionResult = net::WSAENOTCONN;

    static void setHost(Client& c, const std::string& host) { c.HostName = host; }
    static bool open(Client& c) { return c.SyncOpen(); }
    static void startOpen(Base& c) { c.Open(); }
    static bool quit(Client& c) { return c.SyncQuit(); }
    static void startQuit(Base& c) { c.Quit(); }
    static bool ready(const Client& c) { return c.State() == net::TFtpState::ftpReady; }
    static net::TWSocket& socket(Client& c) { return c.ControlSocket(); }
};

struct Pop3ClientKind
{
    using Client = net::TSyncPop3Cli;
    using Base = net::TCustomPop3Cli;
    using Request = net::TPop3Request;
    using Misuse = net::Pop3Exception;
    static constexpr const char* Prefix = "-ERR ";
    static constexpr const char* Component = "POP3";
    static constexpr const char* Greeting = "+OK ready\r\n";
    static constexpr const char* CutGreeting = "+OK more to come";
    static constexpr const char* Goodbye = "+OK bye\r\n";
    static constexpr Request OpenRequest = Request::pop3RqConnect;
    // SyncQuit without a connection: there is nothing to end.
    static constexpr bool QuitWithoutConnection = true;
    static constexpr int QuitWithoutConnectionResult = 0;

    static void setHost(Client& c, const std::string& host) { c.Host = host; }
    static bool open(Client& c) { return c.SyncConnect(); }
    static void startOpen(Base& c) { c.Connect(); }
    static bool quit(Client& c) { return c.SyncQuit(); }
    static void startQuit(Base& c) { c.Quit(); }
    static bool ready(const Client& c) { return c.State() == net::TPop3State::pop3Ready; }
    static net::TWSocket& socket(Client& c) { return c.Socket(); }
};

struct ImapClientKind
{
    using Client = net::TSyncImapCli;
    using Base = net::TCustomImapCli;
    using Request = net::TImapRequest;
    using Misuse = net::ImapException;
    static constexpr const char* Prefix = "* NO ";
    static constexpr const char* Component = "IMAP";
    static constexpr const char* Greeting = "* OK ready\r\n";
    static constexpr const char* CutGreeting = "* OK more to come";
    // The first command of a connection is tagged A1.
    static constexpr const char* Goodbye = "* BYE bye\r\nA1 OK done\r\n";
    static constexpr Request OpenRequest = Request::imapRqConnect;
    // SyncLogout without a connection: there is no session to end.
    static constexpr bool QuitWithoutConnection = true;
    static constexpr int QuitWithoutConnectionResult = 0;

    static void setHost(Client& c, const std::string& host) { c.Host = host; }
    static bool open(Client& c) { return c.SyncConnect(); }
    static void startOpen(Base& c) { c.Connect(); }
    static bool quit(Client& c) { return c.SyncLogout(); }
    static void startQuit(Base& c) { c.Logout(); }
    static bool ready(const Client& c) { return c.State() == net::TImapState::imapReady; }
    static net::TWSocket& socket(Client& c) { return c.Socket(); }
};

} // namespace test
