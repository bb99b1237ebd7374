// TWSocket's data path: readiness dispatch, the receive loop and the send queue.

#include "WSocket.h"

#include "WinsockErrors.h"
#include "detail/TlsSession.h"

#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cerrno>

namespace net {

namespace {

int lastSocketError()
{
    return winsockErrorFromErrno(errno);
}

// Errors on send that mean the session is gone rather than that the call was wrong.
bool sessionLost(int error)
{
    return error == WSAEINVAL || error == WSAENOTSOCK || error == WSAECONNABORTED || error == WSAECONNRESET
        || error == WSAENOTCONN;
}

} // namespace

// ---- readiness dispatch -------------------------------------------------------------------

void TWSocket::onWritable()
{
    if (m_fd < 0)
        return;
    if (m_tlsHandshaking)
        return continueHandshake();
    if (m_state == TSocketState::wsConnecting) {
        int soError = 0;
        socklen_t length = sizeof soError;
        ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &soError, &length);
        m_watcher->watchWrite(false);
        const int error = soError == 0 ? 0 : winsockErrorFromErrno(soError);
        if (error == 0)
            m_watcher->watchRead(true);
        // TLS at once: the connect event waits for the handshake.
        if (error == 0 && m_tlsOnConnect) {
            const TlsSettings settings = *m_tlsOnConnect;
            m_tlsOnConnect.reset();
            return beginTls(settings);
        }
        onConnectEvent(error);
        return;
    }
    if (m_tlsReadWantsWrite) {
        // A TLS read that needed to write first can go on now.
        m_tlsReadWantsWrite = false;
        if (BufferedByteCount() == 0) {
            m_watcher->watchWrite(false);
            return receiveLoop(false);
        }
    }
    onWriteEvent();
}

void TWSocket::onReadable()
{
    if (m_fd < 0)
        return;
    if (m_tlsHandshaking)
        return continueHandshake();
    if (m_state == TSocketState::wsConnecting)
        return;
    if (m_tlsWriteWantsRead) {
        // A TLS write that needed to read first can go on now.
        m_tlsWriteWantsRead = false;
        std::weak_ptr<char> alive = m_alive;
        const unsigned session = m_session;
        tryToSend();
        if (alive.expired() || session != m_session || m_fd < 0)
            return;
    }
    int pending = 0;
    if (::ioctl(m_fd, FIONREAD, &pending) == 0 && pending > 0) {
        if (m_state != TSocketState::wsConnected) {
            std::weak_ptr<char> alive = m_alive;
            const unsigned session = m_session;
            if (!setState(TSocketState::wsConnected))
                return;
            if (OnSessionConnected)
                OnSessionConnected(*this, 0);
            if (alive.expired() || session != m_session || m_fd < 0)
                return;
        }
        receiveLoop(false);
        return;
    }
    // Readable with nothing pending: the peer closed (0) or reset the connection.
    char probe = 0;
    const ssize_t got = ::recv(m_fd, &probe, 1, MSG_PEEK);
    if (got < 0 && lastSocketError() == WSAEWOULDBLOCK)
        return;
    onCloseEvent(got < 0 ? lastSocketError() : 0);
}

void TWSocket::onConnectEvent(int error)
{
    if (m_state == TSocketState::wsConnected)
        return;
    m_attemptTimer.stop();
    if (error != 0 && m_state == TSocketState::wsConnecting && m_attempt + 1 < m_addrList.size())
        return nextAttempt();
    std::weak_ptr<char> alive = m_alive;
    const unsigned session = m_session;
    if (!setState(TSocketState::wsConnected))
        return;
    if (OnSessionConnected)
        OnSessionConnected(*this, error);
    // A handler may have tried the next address already: leave that attempt alone.
    if (alive.expired() || session != m_session)
        return;
    if (error != 0 && m_state != TSocketState::wsClosed)
        Close();
}

void TWSocket::failConnect(int error)
{
    m_watcher->watchWrite(false);
    onConnectEvent(error);
}

void TWSocket::onWriteEvent()
{
    std::weak_ptr<char> alive = m_alive;
    const unsigned session = m_session;
    const bool posted = tryToSend();
    if (alive.expired() || session != m_session)
        return;
    // When the queue drained just now, the posted event reports it; report only once.
    if (m_fd >= 0 && BufferedByteCount() == 0 && !posted && OnDataSent)
        OnDataSent(*this, 0);
}

void TWSocket::onCloseEvent(int error)
{
    std::weak_ptr<char> alive = m_alive;
    const unsigned session = m_session;
    receiveLoop(true);
    if (alive.expired() || session != m_session)
        return;
    if (!m_closeInvoked && !fireSessionClosed(error))
        return;
    if (m_state != TSocketState::wsClosed)
        Close();
}

// ---- receiving ----------------------------------------------------------------------------

void TWSocket::receiveLoop(bool closing)
{
    std::weak_ptr<char> alive = m_alive;
    const unsigned session = m_session;
    const std::uint64_t start = m_readCount;
    for (;;) {
        m_lastError = 0;
        const std::uint64_t before = m_readCount;
        if (OnDataAvailable) {
            OnDataAvailable(*this, 0);
            if (alive.expired() || session != m_session)
                return;
        } else {
            char discard[1024];
            if (Receive(discard, sizeof discard) <= 0)
                break;
        }
        if (m_fd < 0 || ((m_options & wsoNoReceiveLoop) && !closing) || m_lastError != 0)
            break;
        // A handler that takes nothing would be called for ever; readiness calls it again.
        if (m_readCount == before)
            break;
        // A peer that sends as fast as we read must not hold the loop: readiness brings us back
        // after every other socket, timer and signal has had its turn. A closed peer sent all.
        if (!closing && m_readCount - start >= MaxReadPerEvent) {
            // Bytes TLS holds already raise no readiness: come back for them.
            if (tlsReadPending())
                postReadEvent();
            break;
        }
        if (tlsReadPending())
            continue;
        int pending = 0;
        if (::ioctl(m_fd, FIONREAD, &pending) != 0 || pending <= 0)
            break;
    }
}

int TWSocket::Receive(void* buffer, int size)
{
    if (m_fd < 0) {
        m_lastError = WSAENOTSOCK;
        return -1;
    }
    if (size <= 0)
        return 0;
    if (m_tls || m_tlsHandshaking)
        return receiveTls(buffer, size);
    const ssize_t got = ::recv(m_fd, buffer, static_cast<std::size_t>(size), 0);
    if (got < 0) {
        m_lastError = lastSocketError();
        return -1;
    }
    m_readCount += static_cast<std::uint64_t>(got);
    return static_cast<int>(got);
}

// ---- sending ------------------------------------------------------------------------------

int TWSocket::Send(const void* data, int count)
{
    if (m_state != TSocketState::wsConnected || m_fd < 0) {
        m_lastError = WSAENOTCONN;
        socketError("Send", WSAENOTCONN);
        return -1;
    }
    if (m_shutdownPending) {
        m_lastError = WSAESHUTDOWN;
        reportError(winsockCallErrorText(WSAESHUTDOWN, "Send"));
        return -1;
    }
    if (count <= 0)
        return 0;
    const char* bytes = static_cast<const char*>(data);
    auto left = static_cast<std::size_t>(count);
    while (left > 0) {
        if (m_bufList.empty() || m_bufList.back()->Full())
            m_bufList.push_back(std::make_unique<TBuffer>());
        const std::size_t taken = m_bufList.back()->Write(bytes, left);
        bytes += taken;
        left -= taken;
    }
    tryToSend();
    return count;
}

int TWSocket::SendStr(const std::string& text)
{
    if (text.empty())
        return 0;
    return Send(text.data(), static_cast<int>(text.size()));
}

void TWSocket::dropSendQueue()
{
    m_bufList.clear();
}

// Sends from the front of the queue until it is empty or the system takes no more. Returns
// whether the queue became empty here (then a write event has been posted).
bool TWSocket::tryToSend()
{
    if (m_fd < 0 || BufferedByteCount() == 0)
        return false;
    if (m_tls || m_tlsHandshaking)
        return tryToSendTls();
    std::weak_ptr<char> alive = m_alive;
    const unsigned session = m_session;
    while (BufferedByteCount() > 0) {
        // An emptied buffer is freed unless it is the only one.
        if (m_bufList.front()->Count() == 0) {
            m_bufList.pop_front();
            continue;
        }
        TBuffer& front = *m_bufList.front();
        const std::size_t wanted = front.Count();
        const ssize_t sent = ::send(m_fd, front.Peek(), wanted, MSG_NOSIGNAL);
        if (sent < 0) {
            const int error = lastSocketError();
            if (error == WSAEWOULDBLOCK) {
                m_watcher->watchWrite(true);
                return false;
            }
            if (sessionLost(error)) {
                m_closeInvoked = true;
                Close();
                if (!alive.expired())
                    fireSessionClosed(error);
                return false;
            }
            socketError("TryToSend failed", error);
            return false;
        }
        front.Remove(static_cast<std::size_t>(sent));
        if (front.Count() == 0 && m_bufList.size() > 1)
            m_bufList.pop_front();
        if (OnSendData) {
            OnSendData(*this, static_cast<int>(sent));
            if (alive.expired() || m_fd < 0 || session != m_session)
                return false;
        }
        if (static_cast<std::size_t>(sent) < wanted) {
            m_watcher->watchWrite(true);
            return false;
        }
    }
    m_watcher->watchWrite(false);
    if (m_shutdownPending)
        ::shutdown(m_fd, SHUT_WR);
    postWriteEvent();
    return true;
}

void TWSocket::Shutdown()
{
    if (m_fd < 0 || m_state != TSocketState::wsConnected || m_shutdownPending)
        return;
    m_shutdownPending = true;
    if (BufferedByteCount() == 0 && !m_tlsHandshaking) {
        if (m_tls)
            m_tls->closeNotify();
        ::shutdown(m_fd, SHUT_WR);
    }
}

void TWSocket::postWriteEvent()
{
    // A write event posted for an earlier descriptor is dropped by the generation check.
    const unsigned generation = m_generation;
    m_poster.post([this, generation] {
        if (generation == m_generation)
            guarded([this] { onWriteEvent(); });
    });
}

} // namespace net
