// THttpCli: the request and the reply header on the shared connection plumbing. Every event
// goes through engine().fire, which throws ClientDestroyed when the handler destroyed the
// client; only the entry points catch that (the public operations, the posted steps, the
// socket's event guard).

#include "HttpCli.h"

#include "SocketAddress.h"
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
    const bool defaultPort = url.port == (url.proto == "https" ? "443" : "80");
    return url.proto + "://" + bracketedHost(url.host) + (defaultPort ? std::string() : ":" + url.port) + url.path;
}

std::string socketErrorReason(int error)
{
    return winsockErrorText(error) + " (Error #" + std::to_string(error) + ")";
}

// The connect runs in "look-up done"; a reply's header is read while waiting for it.
constexpr auto kStates = ControlConnection::States::of(THttpState::httpReady,
    THttpState::httpDnsLookup,
    THttpState::httpDnsLookupDone,
    THttpState::httpConnected,
    THttpState::httpWaitingHeader,
    THttpState::httpAborting);

} // namespace

THttpCli::THttpCli()
    : ControlConnection(kStates, { "HTTP", "" }, LineReader(kLineBufferSize, LineEnd::Lf, LineOverflow::Raise))
{
}

void THttpCli::fireRequestDone(int request, int error)
{
    if (OnRequestDone)
        OnRequestDone(*this, static_cast<THttpRequest>(request), error);
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
    const auto alive = engine().alive();
    // A name's addresses share the time-out: a silent first one cannot use it all up.
    Socket().SetConnectTimeout(SyncWait::effectiveTimeoutMs(Timeout));
    Head();
    if (alive.expired())
        return;
    const SyncWait::Outcome outcome = m_wait.wait(Timeout, [this] { return idle(); });
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
    if (!idle())
        throw EHttpException("HTTP component is busy", 0);
    m_request = THttpRequest::httpHEAD;
    m_relocations = 0;
    m_target = httpParseUrl(URL);
    m_firstHost = m_target.host;
    engine().start(static_cast<int>(m_request));
    m_ended = false;
    startAttempt();
}

// Ends what runs and makes the client ready at once; a request that had ended already keeps its
// outcome.
void THttpCli::abortWith(const std::string& reason)
{
    if (idle())
        return;
    // Aborting first: the cancelled look-up reports back and must find nothing to do.
    setState(THttpState::httpAborting);
    Socket().CancelDnsLookup();
    fail(reason);
    m_poster.cancelAll();
    setState(THttpState::httpReady);
    if (engine().end())
        engine().postDone(m_statusCode >= 400 ? m_statusCode : 0);
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
    if (m_target.proto == "https") {
        TlsSettings settings = Tls;
        // A relocation to another host: that host's certificate, checked for its own name.
        if (m_target.host != m_firstHost)
            settings = TlsSettings { {}, std::nullopt, Tls.trustFile };
        setTls(TlsMode::Implicit, settings);
    } else {
        setTls(TlsMode::None, {});
    }
    startLookup(m_target.host, m_target.port, LocalAddr);
}

void THttpCli::lookupRaised(const std::exception& e)
{
    fail(e.what());
}

void THttpCli::lookupFailed(int)
{
    fail("can't resolve hostname to IP address");
}

void THttpCli::connectRaised(const std::exception& e)
{
    const int lastError = Socket().LastError();
    // A port that is no number or service name fails before any socket call.
    fail("can't connect: " + (lastError != 0 ? socketErrorReason(lastError) : std::string(e.what())));
}

void THttpCli::connectFailed(int error)
{
    if (error == TlsFailed) {
        // The handshake's end, as the socket reports it: TlsPeer holds its facts.
        engine().fire(OnSessionConnected, *this, error);
        return fail(Socket().LastErrorMessage());
    }
    fail(socketErrorReason(error));
}

void THttpCli::sessionConnected()
{
    if (m_ended)
        return;
    setState(THttpState::httpConnected);
    engine().fire(OnSessionConnected, *this, 0);
    if (m_ended)
        return;
    sendRequest();
}

void THttpCli::sendRequest()
{
    setState(THttpState::httpWaitingHeader);
    HttpRequestFields fields;
    fields.path = m_target.path;
    fields.host = httpHostField(m_target);
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
        engine().fire(OnCommand, *this, line);
        text += line + "\r\n";
    }
    text += "\r\n";
    // A handler may have ended the request, or the server may have gone already.
    if (m_ended || Socket().State() != TSocketState::wsConnected)
        return;
    try {
        Socket().SendStr(text);
    } catch (const ESocketException& e) {
        fail(e.what());
    }
}

// ---- reading the reply --------------------------------------------------------------------

void THttpCli::discardData()
{
    char scratch[4096];
    Socket().Receive(scratch, sizeof scratch);
}

void THttpCli::dataAvailable()
{
    if (!readingLines())
        return discardData();
    try {
        readLines();
    } catch (const LineTooLong&) {
        return fail("HTTP line too long");
    }
    // What follows the header is body data, of no use to a HEAD request.
    if (State() != THttpState::httpWaitingHeader)
        reader().clear();
}

bool THttpCli::readingLines() const
{
    return !m_ended && State() == THttpState::httpWaitingHeader;
}

void THttpCli::lineReceived(const std::string& line)
{
    if (startsWithHtmlTag(line)) {
        // A reply without header: the document itself.
        m_contentType = "text/html";
        setState(THttpState::httpWaitingBody);
        return;
    }
    if (!m_headerStarted) {
        m_headerStarted = true;
        engine().fire(OnHeaderBegin, *this);
    }
    engine().fire(OnHeaderData, *this, line);
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
    engine().fire(OnHeaderEnd, *this);
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
    engine().fire(OnLocationChange, *this, urlText(next));
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

void THttpCli::sessionClosed(int)
{
    const THttpState state = State();
    if (m_ended || state == THttpState::httpNotConnected || state == THttpState::httpAborting)
        return;
    if (state == THttpState::httpWaitingHeader && m_headerStarted) {
        // The close ends the header that was still open.
        engine().fire(OnHeaderEnd, *this);
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
    const int state = ControlConnection::state();
    // Closing reports the close at once; with the request ended (or moving on) it is ignored.
    setStateQuietly(static_cast<int>(THttpState::httpNotConnected));
    Socket().Close();
    setStateQuietly(state);
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
            if (engine().end())
                engine().postDone(m_statusCode >= 400 ? m_statusCode : 0);
        });
    });
}

} // namespace net
