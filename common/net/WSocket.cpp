#include "WSocket.h"

#include "WSocketResolve.h"
#include "WinsockErrors.h"
#include "detail/TlsSession.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace net {

namespace {

constexpr int kProtoTcp = 6;
constexpr int kProtoUdp = 17;

int lastSocketError()
{
    return winsockErrorFromErrno(errno);
}

// Results of the attempt itself, which a non-blocking connect normally reports later.
bool isConnectOutcome(int error)
{
    return error == WSAECONNREFUSED || error == WSAETIMEDOUT || error == WSAENETUNREACH || error == WSAEHOSTUNREACH
        || error == WSAECONNRESET;
}

} // namespace

TWSocket::TWSocket()
{
    resetProperties();
    m_attemptTimer.setPrecise(true);
    // A silent address has had its share of the time: the next one is tried.
    m_attemptTimer.setOnTimeout([this] {
        guarded([this] {
            if (m_state != TSocketState::wsConnecting || m_fd < 0)
                return;
            m_watcher->watchWrite(false);
            onConnectEvent(WSAETIMEDOUT);
        });
    });
}

TWSocket::~TWSocket()
{
    // No event reaches an owner that is being torn down.
    m_destroying = true;
    m_resolver.cancel();
    if (m_fd >= 0)
        closeDescriptor();
}

// ---- properties ---------------------------------------------------------------------------

bool TWSocket::changeAllowed(const std::string& name, const std::string& current, const std::string& value)
{
    if (m_state == TSocketState::wsClosed || current == value)
        return true;
    reportError("Cannot change " + name + " if not closed");
    return false;
}

void TWSocket::assign(Resolvable& field, const std::string& value)
{
    if (field.text == value && field.assigned == !value.empty())
        return;
    field.text = value;
    field.resolved = false;
    field.assigned = !value.empty();
}

void TWSocket::SetAddr(const std::string& value)
{
    const std::string trimmed = WSocketTrim(value);
    if (!changeAllowed("Addr", m_addr.text, trimmed))
        return;
    // The addresses of an earlier SetAddrList belong to that call, even for the same first text.
    if (m_addrFromList)
        m_addr.resolved = false;
    m_addrFromList = false;
    assign(m_addr, trimmed);
}

void TWSocket::SetAddrList(const std::vector<std::string>& addresses)
{
    const std::string first = addresses.empty() ? std::string() : WSocketTrim(addresses.front());
    if (!changeAllowed("Addr", m_addr.text, first))
        return;
    assign(m_addr, first);
    std::vector<SocketAddress> list = WSocketNumericAddresses(addresses);
    if (list.empty())
        return;
    m_addrList = std::move(list);
    m_addr.resolved = true;
    m_addrFromList = true;
}

void TWSocket::SetPort(const std::string& value)
{
    const std::string trimmed = WSocketTrim(value);
    if (changeAllowed("Port", m_port.text, trimmed))
        assign(m_port, trimmed);
}

void TWSocket::SetProto(const std::string& value)
{
    if (changeAllowed("Proto", m_proto.text, value))
        assign(m_proto, value);
}

void TWSocket::SetLocalAddr(const std::string& value)
{
    const std::string stored = value.empty() ? std::string("0.0.0.0") : value;
    if (changeAllowed("LocalAddr", m_localAddr, stored))
        m_localAddr = stored;
}

void TWSocket::SetLocalPort(const std::string& value)
{
    if (changeAllowed("LocalPort", m_localPort.text, value))
        assign(m_localPort, value);
}

void TWSocket::resetProperties()
{
    m_addr = Resolvable {};
    m_port = Resolvable {};
    m_proto = Resolvable {};
    assign(m_proto, "tcp");
    m_localPort = Resolvable {};
    assign(m_localPort, "0");
    m_localAddr = "0.0.0.0";
    m_lingerOnOff = TSocketLingerOnOff::wsLingerOn;
    m_lingerTimeout = 0;
    m_tlsOnConnect.reset();
}

std::size_t TWSocket::BufferedByteCount() const
{
    std::size_t total = 0;
    for (const auto& buffer : m_bufList)
        total += buffer->Count();
    return total;
}

std::string TWSocket::LocalHostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        throw ESocketException("Winsock.GetHostName failed");
    return name;
}

// ---- error path ---------------------------------------------------------------------------

bool TWSocket::setState(TSocketState state)
{
    const TSocketState old = m_state;
    if (old == state)
        return true;
    m_state = state;
    if (!OnChangeState || m_destroying)
        return true;
    std::weak_ptr<char> alive = m_alive;
    OnChangeState(*this, old, state);
    return !alive.expired();
}

bool TWSocket::reportError(const std::string& message)
{
    m_lastErrorMessage = message;
    if (!OnError)
        throw ESocketException(message);
    std::weak_ptr<char> alive = m_alive;
    OnError(*this);
    return !alive.expired();
}

bool TWSocket::fireSessionClosed(int error)
{
    m_closeInvoked = true;
    if (!OnSessionClosed)
        return true;
    std::weak_ptr<char> alive = m_alive;
    const unsigned session = m_session;
    OnSessionClosed(*this, error);
    // A handler that connected again owns the socket now: the old session's steps stop here.
    return !alive.expired() && session == m_session;
}

void TWSocket::socketError(const std::string& callName, int error)
{
    if (error == WSAECONNRESET || error == WSAENOTCONN) {
        const bool wasOpen = m_state != TSocketState::wsClosed;
        if (m_fd >= 0)
            closeDescriptor();
        if (wasOpen && !m_closeInvoked && !fireSessionClosed(error))
            return;
        if (!setState(TSocketState::wsClosed))
            return;
    }
    m_lastError = error;
    reportError(winsockCallErrorText(error, callName));
}

// ---- name look-up -------------------------------------------------------------------------

void TWSocket::DnsLookup(const std::string& host)
{
    const std::string name = WSocketTrim(host);
    if (name.empty()) {
        if (!reportError("DNS lookup: invalid host name."))
            return;
        if (OnDnsLookupDone)
            OnDnsLookupDone(*this, WSAEINVAL);
        return;
    }
    m_resolver.cancel();
    m_dnsResult.clear();
    m_dnsResultList.clear();
    // All ones stays a name to look up, as the C library's conversion cannot tell it apart.
    const auto numericIPv4 = WSocketNumericIPv4(name);
    const auto numeric = numericIPv4 ? (*numericIPv4 != INADDR_NONE ? std::optional(SocketAddress::ipv4(*numericIPv4))
                                                                     : std::nullopt)
                                     : SocketAddress::fromNumeric(name);
    if (numeric) {
        m_dnsResult = numeric->text();
        m_dnsResultList.push_back(m_dnsResult);
        if (OnDnsLookupDone)
            OnDnsLookupDone(*this, 0);
        return;
    }
    m_resolver.lookup(name, [this](int error, const std::vector<std::string>& addresses) {
        guarded([&] { onLookupDone(error, addresses); });
    });
}

void TWSocket::onLookupDone(int error, const std::vector<std::string>& addresses)
{
    if (error == 0) {
        m_dnsResultList = addresses;
        m_dnsResult = addresses.front();
    }
    if (OnDnsLookupDone)
        OnDnsLookupDone(*this, error);
}

void TWSocket::CancelDnsLookup()
{
    if (!m_resolver.cancel())
        return;
    if (OnDnsLookupDone)
        OnDnsLookupDone(*this, WSAEINTR);
}

// ---- connect ------------------------------------------------------------------------------

void TWSocket::Connect()
{
    if (m_fd >= 0 && m_state != TSocketState::wsClosed) {
        reportError("Connect: Socket already in use");
        return;
    }
    if (!m_port.assigned) {
        reportError("Connect: No Port Specified");
        return;
    }
    if (!m_addr.assigned) {
        reportError("Connect: No IP Address Specified");
        return;
    }
    if (!m_proto.assigned) {
        reportError("Connect: No Protocol Specified");
        return;
    }
    if (!resolveForConnect())
        return;
    m_attempt = 0;
    m_connectStarted = std::chrono::steady_clock::now();
    if (!createAndConfigure())
        return;
    startAttempt();
}

// Connects the descriptor to the address of the attempt m_attempt.
void TWSocket::startAttempt()
{
    SocketAddress target = m_addrList[m_attempt];
    target.setPort(static_cast<std::uint16_t>(m_port.value));
    m_remoteAddress = target;
    const int rc = ::connect(m_fd, target.data(), target.length());
    const int error = rc == 0 ? 0 : lastSocketError();
    const bool pending = rc == 0 || error == WSAEWOULDBLOCK || error == WSAEINPROGRESS;
    // With more addresses to try, whatever this one answers only moves on to the next.
    const bool outcome = !pending && (isConnectOutcome(error) || m_attempt + 1 < m_addrList.size() || m_attempt > 0);
    if (!pending && !outcome) {
        m_lastError = error;
        return socketError("Connect", error);
    }
    // Every outcome of the attempt, even one known at once (loopback refuses immediately),
    // arrives as the connect event, so the owner sees one sequence of events.
    if (!setState(TSocketState::wsConnecting) || m_state != TSocketState::wsConnecting || !m_watcher)
        return;
    if (outcome) {
        const unsigned generation = m_generation;
        m_poster.post([this, generation, error] {
            if (generation == m_generation && m_state == TSocketState::wsConnecting)
                guarded([this, error] { failConnect(error); });
        });
        return;
    }
    m_watcher->watchWrite(true);
    armAttemptTimer();
}

void TWSocket::armAttemptTimer()
{
    const std::size_t left = m_addrList.size() - m_attempt;
    if (m_connectTimeout <= 0 || left < 2)
        return;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - m_connectStarted);
    const long long timeLeft = std::max<long long>(m_connectTimeout - elapsed.count(), 0);
    m_attemptTimer.start(static_cast<int>(timeLeft / static_cast<long long>(left)), true);
}

// The attempt failed with more addresses left: the next one, on a descriptor of its family.
// Nothing is reported for the one given up; a set-up failure moves on again, and at the last
// address becomes the outcome of the connect.
void TWSocket::nextAttempt()
{
    closeDescriptor();
    ++m_attempt;
    const int type = socketType();
    int error = openDescriptor(type);
    if (error == 0) {
        if (const auto failure = configureDescriptor(type))
            error = failure->error != 0 ? failure->error : WSAEINVAL;
    }
    if (error != 0)
        return onConnectEvent(error);
    watchDescriptor();
    startAttempt();
}

bool TWSocket::resolveForConnect()
{
    try {
        if (!m_proto.resolved) {
            m_proto.value = static_cast<std::uint32_t>(WSocketResolveProto(m_proto.text));
            m_proto.resolved = true;
        }
        if (!m_port.resolved) {
            m_port.value = WSocketResolvePort(m_port.text, m_proto.text);
            m_port.resolved = true;
        }
        if (!m_localPort.resolved) {
            m_localPort.value = WSocketResolvePort(m_localPort.text, m_proto.text);
            m_localPort.resolved = true;
        }
        if (!m_addr.resolved) {
            m_addrList = WSocketResolveHostAddresses(m_addr.text);
            m_addr.resolved = true;
        }
    } catch (const ESocketException& e) {
        reportError(std::string("connect: ") + e.what());
        return false;
    }
    return true;
}

int TWSocket::socketType() const
{
    return m_proto.value == kProtoTcp ? SOCK_STREAM : m_proto.value == kProtoUdp ? SOCK_DGRAM : SOCK_RAW;
}

// The first attempt's descriptor, with the state change to wsOpened and every failure reported
// through the error path.
bool TWSocket::createAndConfigure()
{
    dropSendQueue();
    const int type = socketType();
    // An address of a family this system cannot open (IPv6 switched off) gives way to the next.
    int error = openDescriptor(type);
    while (error == WSAEAFNOSUPPORT && m_attempt + 1 < m_addrList.size()) {
        ++m_attempt;
        error = openDescriptor(type);
    }
    if (error != 0) {
        socketError("Connect (socket)", error);
        return false;
    }
    ++m_session;
    m_closeInvoked = false;
    m_shutdownPending = false;
    m_readCount = 0;
    m_lastError = 0;
    if (!setState(TSocketState::wsOpened))
        return false;
    if (m_state != TSocketState::wsOpened) {
        socketError("Connect (Invalid operation in OnChangeState)", WSAEINVAL);
        return false;
    }
    if (const auto failure = configureDescriptor(type)) {
        if (!failure->callName.empty()) {
            socketError(failure->callName, failure->error);
        } else {
            if (failure->error != 0)
                m_lastError = failure->error;
            reportError(failure->message);
        }
        return false;
    }
    watchDescriptor();
    return true;
}

// A descriptor of the family of the address tried now; 0 or the socket error.
int TWSocket::openDescriptor(int type)
{
    const int proto = type == SOCK_RAW ? static_cast<int>(m_proto.value) : 0;
    m_fd = ::socket(m_addrList[m_attempt].family(), type | SOCK_NONBLOCK | SOCK_CLOEXEC, proto);
    if (m_fd < 0)
        return lastSocketError();
    ++m_generation;
    return 0;
}

std::optional<TWSocket::SetupFailure> TWSocket::configureDescriptor(int type)
{
    if (type == SOCK_STREAM) {
        if (auto failure = setOption(SOL_SOCKET, SO_REUSEADDR, 1, "setsockopt(SO_REUSEADDR)"))
            return failure;
        if (m_options & wsoTcpNoDelay) {
            if (auto failure = setOption(IPPROTO_TCP, TCP_NODELAY, 1, "setsockopt(IPPROTO_TCP, TCP_NODELAY)"))
                return failure;
        }
        if (auto failure = applyLinger())
            return failure;
        if (auto failure = setOption(SOL_SOCKET, SO_KEEPALIVE, 1, "setsockopt(SO_KEEPALIVE)"))
            return failure;
    }
    return bindLocal();
}

// Registration for notification: readiness of this descriptor reaches the GUI thread.
void TWSocket::watchDescriptor()
{
    m_retiredWatcher.reset();
    m_watcher = std::make_unique<core::FdWatcher>(m_fd);
    m_watcher->setOnReadable([this] { guarded([this] { onReadable(); }); });
    m_watcher->setOnWritable([this] { guarded([this] { onWritable(); }); });
}

std::optional<TWSocket::SetupFailure> TWSocket::setOption(int level, int option, int value, const char* callName)
{
    if (::setsockopt(m_fd, level, option, &value, sizeof value) == 0)
        return std::nullopt;
    return SetupFailure { lastSocketError(), callName, {} };
}

std::optional<TWSocket::SetupFailure> TWSocket::applyLinger()
{
    if (m_lingerOnOff == TSocketLingerOnOff::wsLingerNoSet)
        return std::nullopt;
    if (m_fd < 0)
        return SetupFailure { 0, {}, "Cannot set linger option at this time" };
    linger value {};
    value.l_onoff = m_lingerOnOff == TSocketLingerOnOff::wsLingerOn ? 1 : 0;
    value.l_linger = m_lingerTimeout;
    if (::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &value, sizeof value) == 0)
        return std::nullopt;
    return SetupFailure { lastSocketError(), "setsockopt(SO_LINGER)", {} };
}

std::optional<TWSocket::SetupFailure> TWSocket::bindLocal()
{
    const bool anyAddress = m_localAddr == "0.0.0.0" || m_localAddr == "::";
    if (m_localPort.value == 0 && anyAddress)
        return std::nullopt;
    const int family = m_addrList[m_attempt].family();
    SocketAddress local;
    if (anyAddress) {
        // The wildcard of the family connected to, with the port asked for.
        local = family == AF_INET ? SocketAddress::ipv4(INADDR_ANY) : *SocketAddress::fromNumeric("::");
    } else {
        try {
            const std::vector<SocketAddress> candidates = WSocketResolveHostAddresses(m_localAddr);
            const auto same = std::find_if(candidates.begin(), candidates.end(), [family](const SocketAddress& a) {
                return a.family() == family;
            });
            if (same == candidates.end())
                return SetupFailure { WSAEAFNOSUPPORT, "bind", {} };
            local = *same;
        } catch (const ESocketException& e) {
            return SetupFailure { 0, {}, std::string("connect: ") + e.what() };
        }
    }
    local.setPort(static_cast<std::uint16_t>(m_localPort.value));
    if (::bind(m_fd, local.data(), local.length()) != 0) {
        const int error = lastSocketError();
        return SetupFailure { error, {}, "winsock.bind failed, error #" + std::to_string(error) };
    }
    sockaddr_storage bound {};
    socklen_t length = sizeof bound;
    if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        const int error = lastSocketError();
        return SetupFailure { error, {}, "winsock.getsockname failed, error #" + std::to_string(error) };
    }
    m_localPort.value = SocketAddress(reinterpret_cast<const sockaddr*>(&bound), length).port();
    m_localPort.text = std::to_string(m_localPort.value);
    return std::nullopt;
}

// ---- close --------------------------------------------------------------------------------

void TWSocket::closeDescriptor()
{
    m_attemptTimer.stop();
    // The watcher may be the one whose notification is running now: park it, free it later.
    if (m_watcher) {
        m_watcher->watchRead(false);
        m_watcher->watchWrite(false);
        m_retiredWatcher = std::move(m_watcher);
    }
    endTls(false);
    ::close(m_fd);
    m_fd = -1;
    ++m_generation;
}

void TWSocket::closeSocket(bool withShutdown)
{
    if (m_fd >= 0 && m_state != TSocketState::wsClosed) {
        if (withShutdown) {
            endTls(true);
            ::shutdown(m_fd, SHUT_WR);
        }
        closeDescriptor();
        const unsigned session = m_session;
        if (!setState(TSocketState::wsClosed) || session != m_session)
            return;
        if (!m_closeInvoked && !m_destroying && !fireSessionClosed(0))
            return;
        resetProperties();
        return;
    }
    if (m_fd >= 0)
        closeDescriptor();
    if (m_state != TSocketState::wsClosed) {
        const unsigned session = m_session;
        if (setState(TSocketState::wsClosed) && session == m_session)
            resetProperties();
    }
}

void TWSocket::Close()
{
    closeSocket(true);
}

void TWSocket::Abort()
{
    CancelDnsLookup();
    dropSendQueue();
    if (m_fd >= 0 && m_state == TSocketState::wsConnected && m_proto.value == kProtoTcp) {
        // Linger off: the system finishes the connection in the background, no reset.
        linger off {};
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &off, sizeof off);
    }
    closeSocket(false);
}

void TWSocket::ProcessMessages()
{
    // One thread, one queue: with or without MultiThreaded the GUI thread's queue is pumped.
    core::pumpOnce();
}

void TWSocket::guarded(const std::function<void()>& step)
{
    std::weak_ptr<char> alive = m_alive;
    try {
        step();
        return;
    } catch (const std::exception& e) {
        if (alive.expired())
            return;
        bool canClose = true;
        if (OnBgException) {
            try {
                OnBgException(*this, e, canClose);
            } catch (...) {
            }
        }
        if (alive.expired() || !canClose)
            return;
    } catch (...) {
        if (alive.expired())
            return;
    }
    try {
        Abort();
    } catch (...) {
    }
}

} // namespace net
