#include "Icmp.h"

#include "HostResolver.h"
#include "IcmpSocket.h"
#include "IcmpStatus.h"
#include "WSocketResolve.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <chrono>

namespace net {

namespace {

// Fills the start of every request; the rest of a longer request is spaces.
constexpr std::string_view Signature = "Senvigil host availability check (ICMP echo).";
static_assert(Signature.size() == 45);

constexpr uint32_t NoAddress = 0xffffffff;

std::string dotted(uint32_t address)
{
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

} // namespace

std::string IcmpEchoData(int size)
{
    std::string data(size_t(size), ' ');
    data.replace(0, std::min(data.size(), Signature.size()), Signature.substr(0, data.size()));
    return data;
}

TICMP::TICMP()
    : m_socket(std::make_unique<IcmpSocket>())
    , m_lookup(&TICMP::lookupName)
{
}

TICMP::~TICMP() = default;

void TICMP::setAddress(const std::string& address)
{
    if (address == m_address)
        return;
    m_address = address;
    m_resolved = false;
}

std::string TICMP::ErrorText() const
{
    return IcmpStatusText(m_lastError);
}

bool TICMP::usesRawSocket() const
{
    return m_socket->kind() == IcmpSocket::Kind::Raw;
}

int TICMP::lookupName(const std::string& host, std::string& officialName, uint32_t& address)
{
    addrinfo hints {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM; // one entry per address
    hints.ai_flags = AI_CANONNAME;
    addrinfo* result = nullptr;
    const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &result);
    if (rc != 0)
        return resolverError(rc);
    address = reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr.s_addr;
    officialName = result->ai_canonname ? result->ai_canonname : host;
    freeaddrinfo(result);
    return 0;
}

void TICMP::display(const std::string& msg)
{
    if (OnDisplay)
        OnDisplay(*this, msg);
}

void TICMP::ResolveAddress()
{
    // The short and octal forms ("127.1", "0177.0.0.1") are numeric too.
    m_ip = WSocketNumericIPv4(WSocketTrim(m_address)).value_or(NoAddress);
    if (m_ip == NoAddress) {
        std::string officialName;
        uint32_t address = NoAddress;
        const int error = m_lookup(m_address, officialName, address);
        if (error != 0) {
            m_lastError = error;
            display("Unable to resolve " + m_address);
            return;
        }
        m_ip = address;
        m_resolvedName = officialName;
    } else {
        m_resolvedName = m_address;
    }
    m_resolvedIP = dotted(m_ip);
    m_resolved = true;
}

int TICMP::SendEcho()
{
    m_lastError = 0;
    if (!m_resolved)
        ResolveAddress();
    // All ones is the "no address" mark, so 255.255.255.255 itself can never be pinged.
    if (m_ip == NoAddress) {
        m_lastError = IcmpStatusBadDestination;
        display("Invalid host address");
        return 0;
    }
    const bool sizeValid = m_size >= 0 && m_size <= IcmpMaxDataSize;
    const std::string data = sizeValid ? IcmpEchoData(m_size) : std::string();
    m_lastReply = IcmpEchoReply {};
    m_socket->discardPending();
    if (OnEchoRequest)
        OnEchoRequest(*this);
    int replies = 0;
    if (!sizeValid)
        m_lastError = IcmpStatusBadRequest;
    else
        replies = exchange(data);
    if (OnEchoReply)
        OnEchoReply(*this, replies);
    return replies;
}

// One request and the wait for its answer; sets LastReply and LastError.
int TICMP::exchange(const std::string& data)
{
    using namespace std::chrono;
    IcmpEchoKey key;
    key.target = m_ip;
    key.sequence = ++m_sequence;
    key.data = data;
    const auto sent = steady_clock::now();
    const int refused = m_socket->send(key, m_ttl & 0xff, (m_flags & IcmpFlagDontFragment) != 0);
    if (refused != 0) {
        m_lastError = refused;
        return 0;
    }
    const auto reply = m_socket->awaitReply(key, sent, sent + milliseconds(m_timeout));
    if (!reply) {
        m_lastError = IcmpStatusTimedOut;
        return 0;
    }
    m_lastReply = *reply;
    m_lastError = int(reply->status);
    return 1;
}

} // namespace net
