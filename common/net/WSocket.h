#pragma once

// TWSocket: the asynchronous TCP client socket every network client is built on. It never
// blocks (except the blocking name look-up of a name in Addr at Connect): readiness of the
// non-blocking descriptor arrives through the event loop and becomes the On... events below,
// always on the GUI thread. Failures go through one error path: OnError when a handler is
// attached, else ESocketException with the layer's fixed text. Error numbers are Winsock's
// (see WinsockErrors.h), whatever errno said.
//
// IPv4 and IPv6 alike: Addr may be a dotted IPv4 address, an IPv6 address ("2001:db8::10",
// "fe80::1%eth0", also in brackets) or a name, which stands for all of its addresses in the
// resolver's order. A connect tries them in turn until one connects: an address that refuses
// or cannot be reached gives way to the next at once, and with ConnectTimeout set, one that
// stays silent gives way when its share of the time is up. Only the last attempt's outcome is
// reported, as one OnSessionConnected.
//
// Any handler may destroy the socket. A handler of OnSessionClosed (or OnSessionConnected with
// an error) may also Close it, set Addr and Port again and Connect: the new connection is left
// alone by the steps of the old one that were still to run, and starts with its own events.

#include "ESocketException.h"
#include "HostResolver.h"
#include "SocketAddress.h"
#include "Tls.h"
#include "detail/WSockBuf.h"

#include "common/core/EventLoop.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace net {

class TlsSession;

enum class TSocketState
{
    wsInvalidState,
    wsOpened,
    wsBound,
    wsConnecting,
    wsConnected,
    wsAccepting,
    wsListening,
    wsClosed
};
enum class TSocketLingerOnOff
{
    wsLingerOff,
    wsLingerOn,
    wsLingerNoSet
};
enum class TSocketSendFlags
{
    wsSendNormal,
    wsSendUrgent
};
// Members of the ComponentOptions set.
enum TWSocketOption : unsigned
{
    wsoNoReceiveLoop = 1u << 0,
    wsoTcpNoDelay = 1u << 1
};

class TWSocket
{
public:
    // What one readiness event reads at most before the event loop runs again.
    static constexpr std::uint64_t MaxReadPerEvent = 64 * 1024;

    using TNotifyEvent = std::function<void(TWSocket& sender)>;
    using TErrorEvent = std::function<void(TWSocket& sender, int error)>;
    using TChangeStateEvent = std::function<void(TWSocket& sender, TSocketState oldState, TSocketState newState)>;
    using TBgExceptionEvent = std::function<void(TWSocket& sender, const std::exception& e, bool& canClose)>;

    TWSocket();
    virtual ~TWSocket();
    TWSocket(const TWSocket&) = delete;
    TWSocket& operator=(const TWSocket&) = delete;

    // Addr, Port, Proto, LocalAddr, LocalPort change only while closed (else the error path
    // reports "Cannot change ... if not closed"); assigning the current value always works.
    const std::string& Addr() const { return m_addr.text; }
    void SetAddr(const std::string& value);
    // Addr together with the addresses it stands for, looked up already (a DnsLookup's
    // DnsResultList): Addr becomes the first, and a connect tries them in this order without
    // looking anything up. Texts that are no numeric address are left out.
    void SetAddrList(const std::vector<std::string>& addresses);
    const std::string& Port() const { return m_port.text; }
    void SetPort(const std::string& value);
    const std::string& Proto() const { return m_proto.text; }
    void SetProto(const std::string& value);
    const std::string& LocalAddr() const { return m_localAddr; }
    void SetLocalAddr(const std::string& value);
    const std::string& LocalPort() const { return m_localPort.text; }
    void SetLocalPort(const std::string& value);

    // The time (ms) a connect to several addresses may take in all; 0 (the default): no limit
    // of the socket's own. Each address but the last gets at most the time left divided by the
    // addresses left; the last may use the rest, until the owner's own deadline. Kept by Close.
    int ConnectTimeout() const { return m_connectTimeout; }
    void SetConnectTimeout(int milliseconds) { m_connectTimeout = milliseconds; }
    // The address (with port) of the connect attempt made last; empty before the first.
    const SocketAddress& RemoteAddress() const { return m_remoteAddress; }

    TSocketState State() const { return m_state; }
    int LastError() const { return m_lastError; }
    // The text last reported through the error path (also when OnError took it).
    const std::string& LastErrorMessage() const { return m_lastErrorMessage; }
    // First address found by the last DnsLookup, and all of them.
    const std::string& DnsResult() const { return m_dnsResult; }
    const std::vector<std::string>& DnsResultList() const { return m_dnsResultList; }
    TSocketLingerOnOff LingerOnOff() const { return m_lingerOnOff; }
    void SetLingerOnOff(TSocketLingerOnOff value) { m_lingerOnOff = value; }
    int LingerTimeout() const { return m_lingerTimeout; }
    void SetLingerTimeout(int seconds) { m_lingerTimeout = seconds; }
    // Kept for callers that set it; one event loop serves every socket, so it changes nothing.
    bool MultiThreaded() const { return m_multiThreaded; }
    void SetMultiThreaded(bool value) { m_multiThreaded = value; }
    unsigned ComponentOptions() const { return m_options; }
    void SetComponentOptions(unsigned options) { m_options = options; }
    // Kept for callers that set it; nothing here flushes with a time limit, so it changes nothing.
    int FlushTimeout() const { return m_flushTimeout; }
    void SetFlushTimeout(int seconds) { m_flushTimeout = seconds; }
    std::uint64_t ReadCount() const { return m_readCount; }
    // Bytes queued but not yet handed to the system.
    std::size_t BufferedByteCount() const;

    // Forward look-up ending with OnDnsLookupDone; a dotted address completes before return,
    // a newer look-up silently replaces a pending one.
    void DnsLookup(const std::string& host);
    // Drops a pending look-up and reports OnDnsLookupDone(10004); nothing when none pends.
    void CancelDnsLookup();
    // Starts a non-blocking connect to Addr:Port; ends with OnSessionConnected.
    void Connect();
    // Queues bytes and sends what the system takes; OnDataSent follows (posted) once the
    // queue is empty again. Returns the count queued, or -1 when not connected.
    int Send(const void* data, int count);
    int SendStr(const std::string& text);
    // One non-blocking receive: the byte count, 0 when the peer closed, -1 with LastError set.
    int Receive(void* buffer, int size);
    // Orderly close; OnSessionClosed(0) unless already reported. Forgets Addr, Port, Proto
    // and the local settings. What happens to data not yet delivered:
    //  - bytes still in this socket's own queue (OnDataSent not yet reported) are dropped;
    //  - wsLingerOn with LingerTimeout 0 (the default): the connection is reset, so bytes the
    //    system holds but has not sent yet are dropped too and the peer may see a reset;
    //  - wsLingerOn with LingerTimeout N > 0: the system's close blocks the calling thread until
    //    all is sent or N seconds passed (also for this non-blocking socket): not for the GUI;
    //  - wsLingerOff and wsLingerNoSet: the call returns at once and the system sends what it
    //    holds, then ends the connection, in the background.
    // To end a connection without losing anything, call Shutdown and Close when
    // OnSessionClosed reports the peer's close.
    void Close();
    // Ends the sending side once every queued byte has been handed to the system: the peer
    // reads all of it, then the end of the data. Receiving goes on, and OnSessionClosed follows
    // when the peer closes. Send fails afterwards (10058, "Can't send after socket shutdown").
    void Shutdown();
    // Immediate close without shutdown; queued data is dropped.
    void Abort();
    // Dispatches pending events once.
    void ProcessMessages();

    // ---- TLS (OpenSSL 3, see Tls.h) ----------------------------------------------------------
    // Before Connect: TLS starts right after the TCP connect, and OnSessionConnected reports the
    // end of both: 0, or TlsFailed (LastErrorMessage says why: "TLS with mail.example refused:
    // certificate has expired") followed by the close. For the next Connect only. An empty
    // verifyName checks Addr; nullopt connects without TLS.
    void SetTlsOnConnect(std::optional<TlsSettings> settings);
    // Upgrades the open connection (STARTTLS) from the next turn of the event loop. Until
    // OnTlsDone, sends wait in the queue and OnDataAvailable stays silent; then OnTlsDone(0), or
    // OnTlsDone(TlsFailed) and the connection is aborted unless the handler closed it.
    void StartTls(const TlsSettings& settings);
    // Whether the connection is encrypted now.
    bool TlsActive() const;
    // The facts of this socket's last handshake, also of a failed one; kept after the close.
    const TlsPeerInfo& TlsPeer() const { return m_tlsPeer; }
    // Whether the connected peer's address is a loopback address (127.0.0.0/8, ::1).
    bool PeerIsLoopback() const;

    // The resolver behind DnsLookup (tests replace its blocking look-up).
    HostResolver& Resolver() { return m_resolver; }

    // The local host name; raises "Winsock.GetHostName failed".
    static std::string LocalHostName();

    TErrorEvent OnDnsLookupDone;
    TErrorEvent OnSessionConnected;
    TErrorEvent OnSessionClosed;
    TErrorEvent OnDataAvailable;
    TErrorEvent OnDataSent;
    // After every successful send call, with the byte count the system took.
    TErrorEvent OnSendData;
    TChangeStateEvent OnChangeState;
    TNotifyEvent OnError;
    TBgExceptionEvent OnBgException;
    // The end of StartTls: 0 or TlsFailed.
    TErrorEvent OnTlsDone;

private:
    // A remote-side property: its text, whether it was assigned, and the cached number.
    struct Resolvable
    {
        std::string text;
        bool assigned = false;
        bool resolved = false;
        std::uint32_t value = 0;
    };

    bool changeAllowed(const std::string& name, const std::string& current, const std::string& value);
    void assign(Resolvable& field, const std::string& value);
    void resetProperties();
    // These fire events; false means the handler destroyed the socket: return at once.
    bool setState(TSocketState state);
    bool reportError(const std::string& message);
    // Also false when the handler connected again (a new session owns the socket).
    bool fireSessionClosed(int error);
    void socketError(const std::string& callName, int error);
    // What stopped the set-up of a descriptor: a failed call (reported as its socket error) or
    // a text of its own.
    struct SetupFailure
    {
        int error = 0;
        std::string callName;
        std::string message;
    };
    bool resolveForConnect();
    int socketType() const;
    bool createAndConfigure();
    int openDescriptor(int type);
    std::optional<SetupFailure> configureDescriptor(int type);
    std::optional<SetupFailure> setOption(int level, int option, int value, const char* callName);
    std::optional<SetupFailure> applyLinger();
    std::optional<SetupFailure> bindLocal();
    void watchDescriptor();
    void startAttempt();
    void nextAttempt();
    void armAttemptTimer();
    void closeDescriptor();
    void closeSocket(bool withShutdown);
    void dropSendQueue();
    bool tryToSend();
    void postWriteEvent();

    void onReadable();
    void onWritable();
    void onConnectEvent(int error);
    void failConnect(int error);
    void onWriteEvent();
    void onCloseEvent(int error);
    void receiveLoop(bool closing);
    void onLookupDone(int error, const std::vector<std::string>& addresses);
    // Runs an event step; an escaping exception goes to OnBgException and aborts the socket.
    void guarded(const std::function<void()>& step);

    // TLS (WSocketTls.cpp).
    void beginTls(const TlsSettings& settings);
    void continueHandshake();
    void handshakeEnded(int error);
    bool tryToSendTls();
    int receiveTls(void* buffer, int size);
    bool tlsReadPending() const;
    void postReadEvent();
    void postTlsCloseEvent();
    void endTls(bool notifyPeer);

    int m_fd = -1;
    // Changes with every descriptor opened or closed: posted steps of an old one are dropped.
    unsigned m_generation = 0;
    // Changes with every descriptor opened: tells a reconnection made inside an event.
    unsigned m_session = 0;
    std::unique_ptr<core::FdWatcher> m_watcher;
    std::unique_ptr<core::FdWatcher> m_retiredWatcher;
    core::Poster m_poster;
    HostResolver m_resolver;
    std::deque<std::unique_ptr<TBuffer>> m_bufList;
    std::shared_ptr<char> m_alive = std::make_shared<char>();

    Resolvable m_addr;
    // What m_addr stands for once resolved, in the order to try, and the attempt running.
    std::vector<SocketAddress> m_addrList;
    bool m_addrFromList = false; // m_addrList came from SetAddrList, not from a look-up of m_addr
    std::size_t m_attempt = 0;
    SocketAddress m_remoteAddress;
    int m_connectTimeout = 0;
    std::chrono::steady_clock::time_point m_connectStarted;
    core::Timer m_attemptTimer;
    Resolvable m_port;
    Resolvable m_proto;
    Resolvable m_localPort;
    std::string m_localAddr = "0.0.0.0";
    TSocketState m_state = TSocketState::wsClosed;
    int m_lastError = 0;
    std::string m_lastErrorMessage;
    std::string m_dnsResult;
    std::vector<std::string> m_dnsResultList;
    TSocketLingerOnOff m_lingerOnOff = TSocketLingerOnOff::wsLingerOn;
    int m_lingerTimeout = 0;
    bool m_multiThreaded = false;
    unsigned m_options = 0;
    int m_flushTimeout = 60;
    std::uint64_t m_readCount = 0;
    bool m_closeInvoked = false;
    bool m_shutdownPending = false;
    bool m_destroying = false;

    std::unique_ptr<TlsSession> m_tls;
    std::optional<TlsSettings> m_tlsOnConnect;
    TlsPeerInfo m_tlsPeer;
    bool m_tlsHandshaking = false;
    bool m_tlsUpgrade = false; // the handshake is StartTls's, not the connect's
    bool m_tlsReadWantsWrite = false;
    bool m_tlsWriteWantsRead = false;
    bool m_tlsPeerClosed = false; // the peer's close_notify came: the close event is on its way
    std::size_t m_tlsRetrySize = 0; // bytes a blocked TLS write must offer again
    std::string m_tlsScratch;
};

} // namespace net
