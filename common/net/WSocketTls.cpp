// TWSocket's TLS: the handshake at once after the connect or as an upgrade, and the encrypted
// data path. The session drives the same non-blocking descriptor: what it wants (readable,
// writable) becomes the watcher's interest, so time-outs, Abort and Close work as without TLS.

#include "WSocket.h"

#include "WinsockErrors.h"
#include "detail/TlsContext.h"
#include "detail/TlsSession.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>

namespace net {

namespace {

// One record's worth of plain text per write.
constexpr std::size_t kTlsChunk = 16 * 1024;

} // namespace

void TWSocket::SetTlsOnConnect(std::optional<TlsSettings> settings)
{
    m_tlsOnConnect = std::move(settings);
}

void TWSocket::StartTls(const TlsSettings& settings)
{
    if (m_fd < 0 || m_state != TSocketState::wsConnected) {
        reportError("StartTls: Socket is not connected");
        return;
    }
    if (m_tls || m_tlsHandshaking) {
        reportError("StartTls: TLS is on already");
        return;
    }
    // The first step runs from the event loop, so OnTlsDone never fires inside this call.
    m_tlsHandshaking = true;
    m_tlsUpgrade = true;
    const unsigned generation = m_generation;
    m_poster.post([this, generation, settings] {
        if (generation == m_generation)
            guarded([this, &settings] { beginTls(settings); });
    });
}

bool TWSocket::TlsActive() const
{
    return m_tls && !m_tlsHandshaking;
}

bool TWSocket::PeerIsLoopback() const
{
    sockaddr_storage peer {};
    socklen_t length = sizeof peer;
    if (m_fd < 0 || ::getpeername(m_fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0)
        return false;
    if (peer.ss_family == AF_INET)
        return (ntohl(reinterpret_cast<const sockaddr_in&>(peer).sin_addr.s_addr) >> 24) == 127;
    if (peer.ss_family == AF_INET6) {
        const in6_addr& address = reinterpret_cast<const sockaddr_in6&>(peer).sin6_addr;
        if (IN6_IS_ADDR_LOOPBACK(&address))
            return true;
        // An IPv4 loopback address reached through an IPv6 socket.
        return IN6_IS_ADDR_V4MAPPED(&address) && address.s6_addr[12] == 127;
    }
    return false;
}

void TWSocket::beginTls(const TlsSettings& settings)
{
    m_tlsHandshaking = true;
    m_tlsPeer = TlsPeerInfo {};
    const std::string name = settings.verifyName.empty() ? m_addr.text : settings.verifyName;
    m_tlsPeer.checkedName = name;
    std::string error;
    std::shared_ptr<TlsContext> context = TlsContext::client(settings.trustFile, error);
    if (!context) {
        m_tlsPeer.failure = error;
        m_lastErrorMessage = error;
        return handshakeEnded(TlsFailed);
    }
    const std::string sni = settings.sniName.value_or(isIpAddress(name) ? std::string() : name);
    m_tls = std::make_unique<TlsSession>(std::move(context), m_fd, name, sni);
    continueHandshake();
}

void TWSocket::continueHandshake()
{
    if (!m_tls)
        return; // an upgrade whose first step is still on its way
    switch (m_tls->handshake()) {
    case TlsSession::Io::WantRead:
        m_watcher->watchWrite(false);
        return;
    case TlsSession::Io::WantWrite:
        m_watcher->watchWrite(true);
        return;
    case TlsSession::Io::Done:
        m_tlsPeer = m_tls->peer();
        return handshakeEnded(0);
    default:
        m_tlsPeer = m_tls->peer();
        m_lastErrorMessage = m_tls->failureText();
        return handshakeEnded(TlsFailed);
    }
}

void TWSocket::handshakeEnded(int error)
{
    m_tlsHandshaking = false;
    const bool upgrade = m_tlsUpgrade;
    m_tlsUpgrade = false;
    if (error != 0) {
        m_lastError = error;
        // No close_notify: the peer never had a session to end.
        m_tls.reset();
    }
    std::weak_ptr<char> alive = m_alive;
    const unsigned session = m_session;
    if (!upgrade) {
        onConnectEvent(error);
        if (error == 0 && !alive.expired() && session == m_session && tlsReadPending())
            postReadEvent();
        return;
    }
    if (OnTlsDone)
        OnTlsDone(*this, error);
    if (alive.expired() || session != m_session || m_fd < 0)
        return;
    if (error != 0)
        return Abort();
    // What was queued meanwhile goes out now, encrypted; what came with the last flight is read.
    m_watcher->watchWrite(BufferedByteCount() > 0);
    if (BufferedByteCount() > 0)
        tryToSend();
    else if (m_shutdownPending) {
        m_tls->closeNotify();
        ::shutdown(m_fd, SHUT_WR);
    }
    if (!alive.expired() && session == m_session && tlsReadPending())
        postReadEvent();
}

void TWSocket::endTls(bool notifyPeer)
{
    if (m_tls && notifyPeer && !m_tlsHandshaking)
        m_tls->closeNotify();
    m_tls.reset();
    m_tlsHandshaking = false;
    m_tlsUpgrade = false;
    m_tlsReadWantsWrite = false;
    m_tlsWriteWantsRead = false;
    m_tlsPeerClosed = false;
    m_tlsRetrySize = 0;
}

bool TWSocket::tlsReadPending() const
{
    return m_tls && !m_tlsHandshaking && m_tls->hasPending();
}

void TWSocket::postReadEvent()
{
    const unsigned generation = m_generation;
    m_poster.post([this, generation] {
        if (generation == m_generation && m_state == TSocketState::wsConnected && tlsReadPending())
            guarded([this] { receiveLoop(false); });
    });
}

// The peer ended its TLS session (close_notify) and may keep the TCP connection open until ours
// comes: the session is over for us too, as when the connection closes.
void TWSocket::postTlsCloseEvent()
{
    if (m_tlsPeerClosed)
        return;
    m_tlsPeerClosed = true;
    const unsigned generation = m_generation;
    m_poster.post([this, generation] {
        if (generation == m_generation && m_state == TSocketState::wsConnected)
            guarded([this] { onCloseEvent(0); });
    });
}

int TWSocket::receiveTls(void* buffer, int size)
{
    if (m_tlsHandshaking) {
        m_lastError = WSAEWOULDBLOCK;
        return -1;
    }
    std::size_t got = 0;
    switch (m_tls->read(buffer, static_cast<std::size_t>(size), got)) {
    case TlsSession::Io::Done:
        m_readCount += got;
        return static_cast<int>(got);
    case TlsSession::Io::WantWrite:
        m_tlsReadWantsWrite = true;
        m_watcher->watchWrite(true);
        [[fallthrough]];
    case TlsSession::Io::WantRead:
        m_lastError = WSAEWOULDBLOCK;
        return -1;
    case TlsSession::Io::Closed:
        postTlsCloseEvent();
        return 0;
    default:
        m_lastError = m_tls->systemError() != 0 ? m_tls->systemError() : WSAECONNABORTED;
        return -1;
    }
}

// Sends from the front of the queue, one record at a time, until it is empty or the session
// must wait. Returns whether the queue became empty here (then a write event has been posted).
bool TWSocket::tryToSendTls()
{
    if (m_tlsHandshaking)
        return false;
    std::weak_ptr<char> alive = m_alive;
    const unsigned session = m_session;
    for (std::size_t queued = BufferedByteCount(); queued > 0; queued = BufferedByteCount()) {
        // A write that had to wait offers the very same bytes again.
        const std::size_t size = m_tlsRetrySize != 0 ? m_tlsRetrySize : std::min(queued, kTlsChunk);
        m_tlsScratch.resize(size);
        std::size_t gathered = 0;
        for (const auto& buffer : m_bufList) {
            if (gathered == size)
                break;
            const std::size_t take = std::min(buffer->Count(), size - gathered);
            std::copy_n(static_cast<const char*>(buffer->Peek()), take, m_tlsScratch.data() + gathered);
            gathered += take;
        }
        std::size_t put = 0;
        const TlsSession::Io io = m_tls->write(m_tlsScratch.data(), size, put);
        if (io == TlsSession::Io::WantWrite || io == TlsSession::Io::WantRead) {
            m_tlsRetrySize = size;
            m_tlsWriteWantsRead = io == TlsSession::Io::WantRead;
            m_watcher->watchWrite(io == TlsSession::Io::WantWrite);
            return false;
        }
        if (io != TlsSession::Io::Done) {
            const int error = m_tls->systemError() != 0 ? m_tls->systemError() : WSAECONNRESET;
            m_closeInvoked = true;
            Close();
            if (!alive.expired())
                fireSessionClosed(error);
            return false;
        }
        m_tlsRetrySize = 0;
        for (std::size_t left = put; left > 0;) {
            TBuffer& front = *m_bufList.front();
            const std::size_t take = std::min(front.Count(), left);
            front.Remove(take);
            left -= take;
            if (front.Count() == 0 && m_bufList.size() > 1)
                m_bufList.pop_front();
        }
        if (OnSendData) {
            OnSendData(*this, static_cast<int>(put));
            if (alive.expired() || m_fd < 0 || session != m_session)
                return false;
        }
    }
    if (!m_tlsReadWantsWrite)
        m_watcher->watchWrite(false);
    if (m_shutdownPending) {
        m_tls->closeNotify();
        ::shutdown(m_fd, SHUT_WR);
    }
    postWriteEvent();
    return true;
}

} // namespace net
