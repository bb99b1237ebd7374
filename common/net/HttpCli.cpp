// THttpCli: the request, the socket events and the reply reader. Every event goes through
// m_engine.fire, which throws ClientDestroyed when the handler destroyed the client; only the
// entry points catch that (the public operations, the posted steps, the socket's event guard).

#include "HttpCli.h"

#include "WinsockErrors.h"

#include <cctype>

namespace net {

namespace {

bool startsWithHtmlTag(const std::string& line)
{
    static const char kTag[] = "<html>";
    if (line.size() < 6)
        return false;
    for (std::size_t i = 0; i < 6; ++i) {
        if (std::tolower(static_cast<unsigned char>(line[i])) != kTag[i])
            return false;
    }
    return true;
}

std::string urlText(const HttpUrl& url)
{
    return url.proto + "://" + url.host + (url.port == "80" ? std::string() : ":" + url.port) + url.path;
}

std::string socketErrorReason(int error)
{
    return winsockErrorText(error) + " (Error #" + std::to_string(error) + ")";
}

} // namespace

THttpCli::THttpCli()
{
    m_socket.OnDnsLookupDone = [this](TWSocket&, int error) { onDnsLookupDone(error); };
    m_socket.OnSessionConnected = [this](TWSocket&, int error) { onSocketConnected(error); };
    m_socket.OnSessionClosed = [this](TWSocket&, int error) { onSocketClosed(error); };
    m_socket.OnDataAvailable = [this](TWSocket&, int) { onDataAvailable(); };
    m_engine.setDoneHandler([this](int request, int error) {
        if (OnRequestDone)
            OnRequestDone(*this, static_cast<THttpRequest>(request), error);
    });
}

THttpCli::~THttpCli()
{
    m_socket.OnSessionClosed = nullptr;
    m_socket.OnDnsLookupDone = nullptr;
}

void THttpCli::setState(THttpState state)
{
    if (m_state == state)
        return;
    m_state = state;
    m_engine.fire(OnStateChange, *this);
}

// ---- public operations --------------------------------------------------------------------

void THttpCli::Head()
{
    RequestEngine::entry([this] { doHead(); });
}

void THttpCli::Abort()
{
    RequestEngine::entry([this] { abortWith("Request aborted"); });
}

void THttpCli::SyncHead()
{
    const auto alive = m_engine.alive();
    Head();
    if (alive.expired())
        return;
    const SyncWait::Outcome outcome = m_wait.wait(Timeout, [this] { return m_state == THttpState::httpReady; });
    if (outcome == SyncWait::Outcome::Destroyed)
        return;
    if (outcome == SyncWait::Outcome::TimedOut) {
        RequestEngine::entry([this] { abortWith("Timeout"); });
        if (alive.expired())
            return;
    }
    if (m_statusCode > 399)
        throw EHttpException(m_reason, m_statusCode);
}

void THttpCli::doHead()
{
    if (m_state != THttpState::httpReady)
        throw EHttpException("HTTP component is busy", 0);
    m_request = THttpRequest::httpHEAD;
    m_relocations = 0;
    m_target = httpParseUrl(URL);
    m_engine.start(static_cast<int>(m_request));
    m_ended = false;
    startAttempt();
}

// Ends what runs and makes the client ready at once; a request that had ended already keeps its
// outcome.
void THttpCli::abortWith(const std::string& reason)
{
    if (m_state == THttpState::httpReady)
        return;
    // Aborting first: the cancelled look-up reports back and must find nothing to do.
    setState(THttpState::httpAborting);
    m_socket.CancelDnsLookup();
    fail(reason);
    m_poster.cancelAll();
    setState(THttpState::httpReady);
    if (m_engine.end())
        m_engine.postDone(m_statusCode >= 400 ? m_statusCode : 0);
}

// ---- one attempt (the first, or one after a relocation) -----------------------------------

void THttpCli::resetReply()
{
    m_replyHeader.clear();
    m_statusCode = 0;
    m_reason.clear();
    m_contentLength = -1;
    m_contentType.clear();
    m_location.clear();
    m_relocation = false;
    m_headerStarted = false;
}

void THttpCli::startAttempt()
{
    resetReply();
    m_lines.clear();
    setState(THttpState::httpDnsLookup);
    try {
        m_socket.DnsLookup(m_target.host);
    } catch (const std::exception& e) {
        fail(e.what());
    }
}

void THttpCli::onDnsLookupDone(int error)
{
    if (m_ended || m_state != THttpState::httpDnsLookup)
        return;
    if (error != 0)
        return fail("can't resolve hostname to IP address");
    setState(THttpState::httpDnsLookupDone);
    try {
        m_socket.SetAddr(m_socket.DnsResult());
        m_socket.SetLocalAddr(LocalAddr);
        m_socket.SetPort(m_target.port);
        m_socket.SetProto("tcp");
        m_socket.Connect();
    } catch (const std::exception& e) {
        const int lastError = m_socket.LastError();
        // A port that is no number or service name fails before any socket call.
        fail("can't connect: " + (lastError != 0 ? socketErrorReason(lastError) : std::string(e.what())));
    }
}

void THttpCli::onSocketConnected(int error)
{
    if (m_ended || m_state != THttpState::httpDnsLookupDone)
        return;
    if (error != 0)
        return fail(socketErrorReason(error));
    setState(THttpState::httpConnected);
    m_engine.fire(OnSessionConnected, *this, 0);
    if (m_ended)
        return;
    sendRequest();
}

void THttpCli::sendRequest()
{
    setState(THttpState::httpWaitingHeader);
    HttpRequestFields fields;
    fields.path = m_target.path;
    fields.host = m_target.host;
    fields.sender = Sender;
    fields.accept = Accept;
    fields.reference = Reference;
    fields.acceptLanguage = AcceptLanguage;
    fields.agent = Agent;
    fields.noCache = NoCache;
    fields.user = Username.empty() ? m_target.user : Username;
    fields.password = Username.empty() ? m_target.password : Password;
    fields.cookie = Cookie;
    fields.rangeBegin = ContentRangeBegin;
    fields.rangeEnd = ContentRangeEnd;
    std::string text;
    for (const std::string& line : httpRequestLines(fields)) {
        m_engine.fire(OnCommand, *this, line);
        text += line + "\r\n";
    }
    text += "\r\n";
    // A handler may have ended the request, or the server may have gone already.
    if (m_ended || m_socket.State() != TSocketState::wsConnected)
        return;
    try {
        m_socket.SendStr(text);
    } catch (const ESocketException& e) {
        fail(e.what());
    }
}

// ---- reading the reply --------------------------------------------------------------------

void THttpCli::discardData()
{
    char scratch[4096];
    m_socket.Receive(scratch, sizeof scratch);
}

void THttpCli::onDataAvailable()
{
    if (m_ended || m_state != THttpState::httpWaitingHeader)
        return discardData();
    const int got = m_socket.Receive(m_lines.writePtr(), static_cast<int>(m_lines.space()));
    if (got <= 0)
        return;
    m_lines.commit(static_cast<std::size_t>(got));
    std::string line;
    try {
        while (!m_ended && m_state == THttpState::httpWaitingHeader && m_lines.takeLine(line))
            onHeaderLine(line);
    } catch (const LineTooLong&) {
        return fail("HTTP line too long");
    }
    // What follows the header is body data, of no use to a HEAD request.
    if (m_state != THttpState::httpWaitingHeader)
        m_lines.clear();
}

void THttpCli::onHeaderLine(const std::string& line)
{
    if (startsWithHtmlTag(line)) {
        // A reply without header: the document itself.
        m_contentType = "text/html";
        setState(THttpState::httpWaitingBody);
        return;
    }
    if (!m_headerStarted) {
        m_headerStarted = true;
        m_engine.fire(OnHeaderBegin, *this);
    }
    m_engine.fire(OnHeaderData, *this, line);
    if (m_ended)
        return;
    if (line.empty())
        return onHeaderEnd();
    if (m_replyHeader.size() >= kMaxHeaderLines)
        return fail("HTTP header too long");
    m_replyHeader.push_back(line);
    int code = 0;
    std::string reason;
    if (httpStatusLine(line, code, reason)) {
        m_statusCode = code;
        m_reason = reason;
        return;
    }
    std::string name;
    std::string value;
    if (!httpHeaderField(line, name, value))
        return;
    if (name == "location") {
        m_location = value;
        m_relocation = true;
    } else if (name == "content-length") {
        m_contentLength = httpContentLength(value);
    } else if (name == "content-type") {
        m_contentType = value;
    }
}

void THttpCli::onHeaderEnd()
{
    m_engine.fire(OnHeaderEnd, *this);
    if (m_ended)
        return;
    if (m_relocation && relocate())
        return;
    if (m_contentLength == 0)
        return endRequest();
    setState(THttpState::httpWaitingBody);
    // An error reply's document is not wanted: the connection goes at once.
    if (m_statusCode >= 400)
        endRequest();
}

// True when the relocation is followed (or has failed the request).
bool THttpCli::relocate()
{
    HttpUrl next;
    if (!httpRelocation(m_target, m_location, next))
        return false;
    if (++m_relocations > kMaxRelocations) {
        fail("Too many relocations");
        return true;
    }
    m_target = next;
    m_engine.fire(OnLocationChange, *this, urlText(next));
    if (m_ended)
        return true;
    closeQuietly();
    setState(THttpState::httpNotConnected);
    // The next attempt starts from the event loop, clear of the old connection's event.
    m_poster.post([this] {
        RequestEngine::entry([this] {
            if (!m_ended)
                startAttempt();
        });
    });
    return true;
}

void THttpCli::onSocketClosed(int)
{
    if (m_ended || m_state == THttpState::httpNotConnected || m_state == THttpState::httpAborting)
        return;
    if (m_state == THttpState::httpWaitingHeader && m_headerStarted) {
        // The close ends the header that was still open.
        m_engine.fire(OnHeaderEnd, *this);
        if (m_ended)
            return;
        if (m_relocation && relocate())
            return;
    }
    endRequest();
}

// ---- the end ------------------------------------------------------------------------------

void THttpCli::fail(const std::string& reason)
{
    if (m_ended)
        return;
    m_statusCode = kFailureStatus;
    m_reason = reason;
    endRequest();
}

void THttpCli::closeQuietly()
{
    const THttpState state = m_state;
    // Closing reports the close at once; with the request ended (or moving on) it is ignored.
    m_state = THttpState::httpNotConnected;
    m_socket.Close();
    m_state = state;
}

void THttpCli::endRequest()
{
    if (m_ended)
        return;
    m_ended = true;
    closeQuietly();
    // Ready again from the event loop, then OnRequestDone.
    m_poster.post([this] {
        RequestEngine::entry([this] {
            setState(THttpState::httpReady);
            if (m_engine.end())
                m_engine.postDone(m_statusCode >= 400 ? m_statusCode : 0);
        });
    });
}

} // namespace net
