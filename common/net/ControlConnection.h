#pragma once

// ControlConnection: the connection every client of a line protocol holds (FTP, POP3, SMTP,
// and HTTP's plumbing): one TWSocket, the incremental reader of its reply lines and the request
// engine that runs one request at a time. It does once what each protocol does alike:
//
//   look-up of the host (IPv4 and IPv6), then a connect that tries the addresses found in the
//   resolver's order until one connects (startLookup; the socket's ConnectTimeout shares the
//   time among them);
//   the read loop, which hands out whole lines while the connection stands;
//   a command sent as one line, CR and LF inside becoming blanks (sendLine, sendCommand);
//   the replies a client makes up for a failed look-up or connect, with the protocol's prefix:
//   "500 Connection refused (Winsock error #10061)", "-ERR Host not found (...)";
//   the state and its change event, the display lines, the ready check, the end of a request
//   and Abort.
//
// A protocol keeps its own state enumeration (its values are handed over as States), its
// events, commands and reply rules: it answers the greeting and each reply line through the
// hooks below. TLS is set up here once for every protocol (setTls): at once after the connect,
// so that the greeting already comes encrypted, or as an upgrade between two commands
// (startTls, after the protocol's STARTTLS was accepted). A failed handshake or certificate
// ends the connect or the upgrade with a made-up reply that says why, in the user's words:
// "500 TLS with mail.example refused: certificate has expired".
//
// Every event goes through engine().fire, which throws ClientDestroyed when the handler
// destroyed the client; only the entry points catch that (RequestEngine::entry for the public
// operations, the socket's event guard for socket events).

#include "Tls.h"
#include "WSocket.h"
#include "detail/LineReader.h"
#include "detail/RequestEngine.h"

#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace net {

class ControlConnection
{
public:
    // The protocol's own state values for the steps this class takes.
    struct States
    {
        int ready; // idle: a new request may start
        int dnsLookup;
        int connecting; // set right before the connect starts
        int waitingBanner; // connected, the greeting not yet complete
        int waitingResponse; // a command is out, its reply not yet complete
        int abort;

        template <class State>
        static constexpr States of(
            State ready, State dnsLookup, State connecting, State waitingBanner, State waitingResponse, State abort)
        {
            return { static_cast<int>(ready),
                static_cast<int>(dnsLookup),
                static_cast<int>(connecting),
                static_cast<int>(waitingBanner),
                static_cast<int>(waitingResponse),
                static_cast<int>(abort) };
        }
    };
    // How the protocol names itself and its made-up replies.
    struct Naming
    {
        const char* component; // "FTP": "FTP component not ready"
        const char* localPrefix; // "500 ": the start of a reply made up here
    };

    virtual ~ControlConnection();
    ControlConnection(const ControlConnection&) = delete;
    ControlConnection& operator=(const ControlConnection&) = delete;

protected:
    ControlConnection(const States& states, const Naming& naming, const LineReader& reader);

    // ---- what the clients publish ---------------------------------------------------------
    const std::string& LastResponse() const { return m_engine.lastResponse(); }
    const std::string& ErrorMessage() const { return m_engine.errorMessage(); }
    int StatusCode() const { return m_engine.statusCode(); }
    int RequestResult() const { return m_engine.result(); }
    bool Connected() const { return m_connected; }
    TWSocket& Socket() { return m_socket; }
    // Whether the connection is encrypted now, and the facts of its last handshake.
    bool TlsActive() const { return m_socket.TlsActive(); }
    const TlsPeerInfo& TlsPeer() const { return m_socket.TlsPeer(); }
    // The security in force: "TLS 1.3 with mail.example", or "no TLS, plain text".
    std::string SecurityText() const;

    // ---- plumbing -------------------------------------------------------------------------
    RequestEngine& engine() { return m_engine; }
    const RequestEngine& engine() const { return m_engine; }
    LineReader& reader() { return m_reader; }
    const States& states() const { return m_states; }
    int state() const { return m_state; }
    // Fires the state change when the state really changes.
    void setState(int state);
    template <class State> void setState(State state) { setState(static_cast<int>(state)); }
    // Without the event: for a request that failed before it began.
    void setStateQuietly(int state) { m_state = state; }
    // True when no request runs.
    bool idle() const { return m_state == m_states.ready; }
    void display(const std::string& text);
    void setConnected(bool connected) { m_connected = connected; }
    // Raises the protocol's misuse exception ("<component> component not ready", ...).
    void checkReady() const;
    void checkNotConnected() const;
    void misuse(const std::string& what) const;

    // ---- TLS ------------------------------------------------------------------------------
    // How the next connections are secured; an empty verifyName checks the host looked up.
    void setTls(TlsMode mode, const TlsSettings& settings);
    TlsMode tlsMode() const { return m_tlsMode; }
    // Upgrades the open connection now. What the reader holds came in clear after the reply
    // that allowed the upgrade and is dropped unread. `done` runs with 0 or TlsFailed; after a
    // failure the connection is closed.
    void startTls(std::function<void(int error)> done);
    // The made-up reply of a failed handshake: the prefix and what failed.
    std::string tlsFailureReply() const;
    // Whether the peer is on this machine (127.0.0.0/8, ::1): the one place where a password
    // may travel without TLS.
    bool peerIsLoopback() const { return m_socket.PeerIsLoopback(); }

    // Empties the reader and looks `host` up; the connect to `port` from `localAddr` follows.
    // With TLS asked for, a trust file that cannot be used ends the request here.
    void startLookup(const std::string& host, const std::string& port, const std::string& localAddr);
    // One line to the server, followed by CR LF; nothing without a connection.
    void sendLine(const std::string& line);
    // The pending command of the request: accepted codes (empty: any below 500) and what runs
    // on its final reply; the state becomes waiting-for-response, the command is fired, shown
    // as "> " + command and sent.
    void sendCommand(const std::string& command, std::vector<int> accepted, RequestEngine::Action done);
    // A reply made up here: the request's last response and first error, status 500, and the
    // end of the request with `error`.
    void localFailure(const std::string& response, int error);
    // Ends the request once (its OnRequestDone is posted) and makes the client ready.
    virtual void completeRequest(int error);
    // The greeting's final line: a refusal makes `result` the request's result and the line its
    // first error, and closes (the close ends the request); an acceptance moves to the
    // protocol's connected state, fires OnSessionConnected and ends the request with 0.
    void greetingRefused(int result);
    template <class State> void greetingAccepted(State connected)
    {
        setState(connected);
        fireSessionConnected(0);
        completeRequest(0);
    }
    // Drops the look-up or the connection at once and ends a running request with 426.
    void abortRequest();

    // ---- the protocol's part --------------------------------------------------------------
    // Its exception type for misuse.
    [[noreturn]] virtual void raise(const std::string& message) const = 0;
    // Its events (the client classes fire them with themselves as sender).
    virtual void fireStateChange() = 0;
    virtual void fireRequestDone(int request, int error) = 0;
    virtual void fireDisplay(const std::string& text) { (void)text; }
    virtual void fireResponse(const std::string& line) { (void)line; }
    virtual void fireCommand(std::string& command) { (void)command; }
    virtual void fireSessionConnected(int error) { (void)error; }
    virtual void fireSessionClosed(int error) { (void)error; }

    // The steps of the connection; the defaults are those of the line protocols.
    virtual void lookupRaised(const std::exception& e);
    virtual void lookupFailed(int error);
    virtual void connectRaised(const std::exception& e);
    virtual void connectFailed(int error);
    // Connected: the connected flag is set and the greeting awaited.
    virtual void sessionConnected();
    // The connection is gone (the connected flag already cleared).
    virtual void sessionClosed(int error) = 0;
    // Data came in: by default readLines.
    virtual void dataAvailable();
    // The socket handed all queued data to the system.
    virtual void dataSent() { }
    // Whether the read loop goes on to the next line: while the connection stands.
    virtual bool readingLines() const;
    // One line, without its line end. By default: the last response, OnResponse, then the
    // greeting or reply hook by state, or only the display in any other state.
    virtual void lineReceived(const std::string& line);
    virtual void greetingLine(const std::string& line) { (void)line; }
    virtual void replyLine(const std::string& line) { (void)line; }
    // A line went out or came in where the protocol restarts the blocking wrapper's time-out.
    virtual void onLineTraffic() { }

    // One receive into the reader, then its whole lines to lineReceived while readingLines.
    void readLines();

private:
    void onDnsLookupDone(int error);
    void onSocketConnected(int error);
    void onSocketClosed(int error);
    TlsSettings tlsSettings() const;

    const States m_states;
    const Naming m_naming;
    TWSocket m_socket;
    RequestEngine m_engine;
    LineReader m_reader;
    std::string m_host;
    std::string m_port;
    std::string m_localAddr;
    TlsMode m_tlsMode = TlsMode::None;
    TlsSettings m_tls;
    std::function<void(int)> m_tlsDone;
    int m_state;
    bool m_connected = false;
};

} // namespace net
