#include "ControlConnection.h"

#include "WSocketResolve.h"
#include "WinsockErrors.h"
#include "detail/LineBreaks.h"
#include "detail/TlsContext.h"
#include "detail/ReplyCodes.h"

namespace net {

namespace {

constexpr int kLocalCode = 500;

} // namespace

ControlConnection::ControlConnection(const States& states, const Naming& naming, const LineReader& reader)
    : m_states(states)
    , m_naming(naming)
    , m_reader(reader)
    , m_state(states.ready)
{
    m_socket.OnDnsLookupDone = [this](TWSocket&, int error) { onDnsLookupDone(error); };
    m_socket.OnSessionConnected = [this](TWSocket&, int error) { onSocketConnected(error); };
    m_socket.OnSessionClosed = [this](TWSocket&, int error) { onSocketClosed(error); };
    m_socket.OnDataAvailable = [this](TWSocket&, int) { dataAvailable(); };
    m_socket.OnDataSent = [this](TWSocket&, int) { dataSent(); };
    m_socket.OnTlsDone = [this](TWSocket&, int error) {
        if (auto done = std::move(m_tlsDone))
            done(error);
    };
    m_engine.setDoneHandler([this](int request, int error) { fireRequestDone(request, error); });
}

ControlConnection::~ControlConnection()
{
    // The client's own part is gone: the socket's last reports must not reach it.
    m_socket.OnSessionClosed = nullptr;
    m_socket.OnDnsLookupDone = nullptr;
    m_socket.OnDataAvailable = nullptr;
    m_socket.OnDataSent = nullptr;
    m_socket.OnTlsDone = nullptr;
}

void ControlConnection::setState(int state)
{
    if (m_state == state)
        return;
    m_state = state;
    fireStateChange();
}

void ControlConnection::display(const std::string& text)
{
    fireDisplay(text);
}

void ControlConnection::misuse(const std::string& what) const
{
    raise(std::string(m_naming.component) + " component " + what);
}

void ControlConnection::checkReady() const
{
    if (m_state != m_states.ready)
        misuse("not ready");
}

void ControlConnection::checkNotConnected() const
{
    if (m_connected)
        misuse("already connected");
}

void ControlConnection::localFailure(const std::string& response, int error)
{
    m_engine.localReply(response, error);
    completeRequest(error);
}

void ControlConnection::completeRequest(int error)
{
    if (!m_engine.complete(error))
        return;
    setState(m_states.ready);
}

void ControlConnection::greetingRefused(int result)
{
    m_engine.noteError(m_engine.lastResponse());
    m_engine.setResult(result);
    m_socket.Close();
}

void ControlConnection::abortRequest()
{
    setState(m_states.abort);
    m_socket.CancelDnsLookup();
    m_socket.Abort();
    m_connected = false;
    if (!m_engine.ended()) {
        m_engine.noteError(RequestEngine::kAbortedText);
        m_engine.complete(RequestEngine::kTimeoutCode);
    }
    setState(m_states.ready);
}

// ---- TLS ----------------------------------------------------------------------------------

void ControlConnection::setTls(TlsMode mode, const TlsSettings& settings)
{
    m_tlsMode = mode;
    m_tls = settings;
}

TlsSettings ControlConnection::tlsSettings() const
{
    TlsSettings settings = m_tls;
    if (settings.verifyName.empty())
        settings.verifyName = m_host;
    return settings;
}

void ControlConnection::startTls(std::function<void(int error)> done)
{
    m_reader.clear();
    m_tlsDone = std::move(done);
    m_socket.StartTls(tlsSettings());
}

std::string ControlConnection::tlsFailureReply() const
{
    return m_naming.localPrefix + m_socket.LastErrorMessage();
}

std::string ControlConnection::SecurityText() const
{
    const TlsPeerInfo& peer = m_socket.TlsPeer();
    if (!m_socket.TlsActive())
        return "no TLS, plain text";
    return peer.version + " with " + peer.checkedName;
}

// ---- connection ---------------------------------------------------------------------------

void ControlConnection::startLookup(const std::string& host, const std::string& port, const std::string& localAddr)
{
    m_host = WSocketTrim(host);
    m_port = port;
    m_localAddr = localAddr;
    m_reader.clear();
    if (m_tlsMode != TlsMode::None) {
        // A trust file that cannot be read is told before anything goes out.
        std::string error;
        if (!TlsContext::client(m_tls.trustFile, error))
            return localFailure(m_naming.localPrefix + error, kLocalCode);
    }
    setState(m_states.dnsLookup);
    try {
        m_socket.DnsLookup(host);
    } catch (const std::exception& e) {
        // An empty host name: the request ends like any failed look-up.
        lookupRaised(e);
    }
}

void ControlConnection::onDnsLookupDone(int error)
{
    // An abort cancels the look-up; its report must not overwrite what the caller keeps.
    if (m_state != m_states.dnsLookup)
        return;
    if (error != 0)
        return lookupFailed(error);
    try {
        // Every address found, in the resolver's order: the connect falls back from one to the next.
        m_socket.SetAddrList(m_socket.DnsResultList());
        m_socket.SetLocalAddr(m_localAddr);
        m_socket.SetProto("tcp");
        m_socket.SetPort(m_port);
        m_socket.SetTlsOnConnect(
            m_tlsMode == TlsMode::Implicit ? std::optional<TlsSettings>(tlsSettings()) : std::nullopt);
        setState(m_states.connecting);
        m_socket.Connect();
    } catch (const std::exception& e) {
        connectRaised(e);
    }
}

void ControlConnection::onSocketConnected(int error)
{
    if (m_state != m_states.connecting)
        return;
    if (error != 0)
        return connectFailed(error);
    sessionConnected();
}

void ControlConnection::onSocketClosed(int error)
{
    m_connected = false;
    sessionClosed(error);
}

void ControlConnection::lookupRaised(const std::exception& e)
{
    localFailure(exceptionReplyLine(m_naming.localPrefix, e), kLocalCode);
}

void ControlConnection::lookupFailed(int error)
{
    localFailure(winsockReplyLine(m_naming.localPrefix, error), error);
}

void ControlConnection::connectRaised(const std::exception& e)
{
    // A failure before any socket call leaves no socket error: still report a failure.
    const int lastError = m_socket.LastError();
    localFailure(exceptionReplyLine(m_naming.localPrefix, e), lastError != 0 ? lastError : kLocalCode);
}

void ControlConnection::connectFailed(int error)
{
    localFailure(error == TlsFailed ? tlsFailureReply() : winsockReplyLine(m_naming.localPrefix, error), error);
    m_socket.Close();
}

void ControlConnection::sessionConnected()
{
    m_connected = true;
    setState(m_states.waitingBanner);
}

// ---- lines --------------------------------------------------------------------------------

void ControlConnection::sendLine(const std::string& line)
{
    if (m_socket.State() != TSocketState::wsConnected)
        return;
    // A line break inside the text would start a command of its own: it becomes a blank.
    m_socket.SendStr(withoutLineBreaks(line) + "\r\n");
}

void ControlConnection::sendCommand(const std::string& command, std::vector<int> accepted, RequestEngine::Action done)
{
    m_engine.expect(std::move(accepted), std::move(done));
    setState(m_states.waitingResponse);
    std::string text = command;
    fireCommand(text);
    display("> " + text);
    sendLine(text);
}

void ControlConnection::dataAvailable()
{
    readLines();
}

bool ControlConnection::readingLines() const
{
    return m_socket.State() == TSocketState::wsConnected;
}

void ControlConnection::readLines()
{
    const int got = m_socket.Receive(m_reader.writePtr(), static_cast<int>(m_reader.space()));
    if (got <= 0)
        return;
    m_reader.commit(static_cast<std::size_t>(got));
    std::string line;
    // A line may end the request or close the socket; stop reading once it is gone.
    while (readingLines() && m_reader.takeLine(line))
        lineReceived(line);
}

void ControlConnection::lineReceived(const std::string& line)
{
    m_engine.setLastResponse(line);
    fireResponse(line);
    if (m_state == m_states.waitingBanner)
        greetingLine(line);
    else if (m_state == m_states.waitingResponse)
        replyLine(line);
    else
        display("< " + line);
}

} // namespace net
