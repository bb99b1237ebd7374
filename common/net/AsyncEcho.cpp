#include "AsyncEcho.h"

#include "IcmpStatus.h"
#include "WSocketResolve.h"
#include "detail/IcmpSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <climits>

using namespace std::chrono;

namespace net {

namespace {

constexpr uint32_t NoAddress = 0xffffffff;

// Fills the start of every request; the rest of a longer request is spaces.
constexpr std::string_view Signature = "Senvigil host availability check (ICMP echo).";
static_assert(Signature.size() == 45);

} // namespace

std::string IcmpEchoData(int size)
{
    std::string data(size_t(size), ' ');
    data.replace(0, std::min(data.size(), Signature.size()), Signature.substr(0, data.size()));
    return data;
}

AsyncEcho::AsyncEcho()
{
    m_deadline.setPrecise(true);
    m_deadline.setOnTimeout([this] { onDeadline(); });
}

AsyncEcho::~AsyncEcho()
{
    cancel();
}

void AsyncEcho::setAddress(const std::string& address)
{
    if (address == m_address)
        return;
    m_address = address;
    m_resolved = false;
}

std::string AsyncEcho::ErrorText() const
{
    return IcmpStatusText(m_lastError);
}

bool AsyncEcho::usesRawSocket() const
{
    const Channel& used = m_target.isIPv6() && m_ipv6.socket ? m_ipv6 : m_ipv4;
    return used.socket && used.socket->kind() == IcmpSocket::Kind::Raw;
}

AsyncEcho::Channel& AsyncEcho::channel(int family)
{
    return family == AF_INET6 ? m_ipv6 : m_ipv4;
}

AsyncEcho::Channel& AsyncEcho::openChannel(int family)
{
    Channel& opened = channel(family);
    if (opened.socket)
        return opened;
    opened.socket = std::make_unique<IcmpSocket>(family);
    opened.watcher = std::make_unique<core::FdWatcher>(opened.socket->fd());
    opened.watcher->setOnReadable([this, &opened] { onReadable(opened); });
    return opened;
}

void AsyncEcho::open()
{
    openChannel(AF_INET);
}

void AsyncEcho::stopWatching()
{
    for (Channel* each : { &m_ipv4, &m_ipv6 }) {
        if (each->watcher)
            each->watcher->watchRead(false);
    }
}

void AsyncEcho::start(Done done)
{
    cancel();
    open();
    ++m_generation;
    m_done = std::move(done);
    m_lastError = 0;
    if (m_resolved) {
        m_poster.post([this] { send(); });
        return;
    }
    // The short and octal forms ("127.1", "0177.0.0.1") are numeric too; all ones is a name.
    const std::string text = WSocketTrim(m_address);
    const uint32_t numeric = WSocketNumericIPv4(text).value_or(NoAddress);
    const auto numeric6 = looksLikeIPv6(text) ? SocketAddress::fromNumeric(text) : std::nullopt;
    if (numeric != NoAddress || numeric6) {
        resolved(numeric6 ? *numeric6 : SocketAddress::ipv4(numeric));
        m_poster.post([this] { send(); });
        return;
    }
    m_target = SocketAddress();
    auto failed = [this](int error) {
        m_lastError = error;
        const unsigned generation = m_generation;
        display("Unable to resolve " + m_address);
        if (generation == m_generation)
            send();
    };
    if (m_address.find('\0') != std::string::npos || m_address.empty()) {
        m_poster.post([failed] { failed(11001); });
        return;
    }
    m_resolver.lookup(m_address, [this, failed](int error, const std::vector<std::string>& addresses) {
        if (error != 0)
            return failed(error);
        // Like `ping`, the first address only.
        resolved(SocketAddress::fromNumeric(addresses.front()).value_or(SocketAddress()));
        send();
    });
}

void AsyncEcho::resolved(const SocketAddress& address)
{
    m_target = address;
    m_resolvedIP = address.text();
    m_resolved = true;
}

void AsyncEcho::send()
{
    // All ones is the "no address" mark, so 255.255.255.255 itself can never be pinged.
    if (m_target.empty() || (m_target.family() == AF_INET && m_target.ipv4() == NoAddress)) {
        m_lastError = 11018;
        const unsigned generation = m_generation;
        display("Invalid host address");
        if (generation == m_generation)
            finish(0);
        return;
    }
    m_lastReply = IcmpEchoReply {};
    m_lastError = 0;
    if (m_size < 0 || m_size > IcmpMaxDataSize) {
        m_lastError = IcmpStatusBadRequest;
        return replied(0);
    }
    Channel* used = nullptr;
    try {
        used = &openChannel(m_target.family());
    } catch (const TICMPException& e) {
        // No ICMPv6 socket here (IPv6 switched off, or no right to one).
        const unsigned generation = m_generation;
        display(e.what());
        if (generation != m_generation)
            return;
        m_lastError = IcmpStatusGeneralFailure;
        return replied(0);
    }
    m_data = IcmpEchoData(m_size);
    m_key = IcmpEchoKey {};
    m_key.target = m_target;
    m_key.sequence = ++m_sequence;
    m_key.data = m_data;
    used->socket->discardPending();
    m_sent = steady_clock::now();
    const int refused = used->socket->send(m_key, m_ttl & 0xff, (m_flags & IcmpFlagDontFragment) != 0);
    if (refused != 0) {
        m_lastError = refused;
        return replied(0);
    }
    used->watcher->watchRead(true);
    m_deadline.start(static_cast<int>(std::min<uint32_t>(m_timeout, INT_MAX)), true);
}

void AsyncEcho::onReadable(Channel& from)
{
    if (!busy() || from.socket->family() != m_key.target.family()) {
        from.watcher->watchRead(false);
        from.socket->discardPending();
        return;
    }
    if (auto reply = from.socket->takeReply(m_key)) {
        reply->roundTripTime = uint32_t(duration_cast<milliseconds>(steady_clock::now() - m_sent).count());
        m_lastReply = *reply;
        m_lastError = int(reply->status);
        replied(1);
    }
}

void AsyncEcho::onDeadline()
{
    if (!busy())
        return;
    // An answer may wait unread behind the timer's event.
    if (auto reply = channel(m_key.target.family()).socket->takeReply(m_key)) {
        reply->roundTripTime = uint32_t(duration_cast<milliseconds>(steady_clock::now() - m_sent).count());
        m_lastReply = *reply;
        m_lastError = int(reply->status);
        return replied(1);
    }
    m_lastError = IcmpStatusTimedOut;
    replied(0);
}

void AsyncEcho::replied(int replies)
{
    stopWatching();
    m_deadline.stop();
    if (OnEchoReply) {
        const unsigned generation = m_generation;
        OnEchoReply(replies);
        // The handler dropped this echo or started another: this one has no end to report.
        if (generation != m_generation)
            return;
    }
    finish(replies);
}

void AsyncEcho::finish(int replies)
{
    stopWatching();
    m_deadline.stop();
    ++m_generation;
    Done done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done(replies);
}

void AsyncEcho::cancel()
{
    ++m_generation;
    m_resolver.cancel();
    m_poster.cancelAll();
    m_deadline.stop();
    stopWatching();
    m_done = nullptr;
}

void AsyncEcho::display(const std::string& msg)
{
    if (OnDisplay)
        OnDisplay(msg);
}

} // namespace net
