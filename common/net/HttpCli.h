#pragma once

// THttpCli: one HTTP/1.0 HEAD request (RFC 1945) on a TWSocket, with its reply's status line
// and header lines. Head returns at once and ends with OnRequestDone, posted to the event loop
// once the client is ready again, carrying the status when it is 400 or more, else 0; SyncHead
// waits for the end, sleeping in the event loop.
//
// How a request ends:
//  - the server closes the connection (the normal end of a HEAD with HTTP/1.0), also before the
//    blank line that ends the header, and also before any reply: status 0, empty ReplyHeader;
//  - the header ends with Content-Length 0, or with a status of 400 or more (the client then
//    closes the connection at once);
//  - a Location field relocates: the request is made again at the new place (a path on the same
//    host, an "http://" URL, or a path relative to the current folder; other schemes are not
//    followed and the reply stands as it is), at most kMaxRelocations times in a row;
//  - the client's own failures give status 404 and a reason: "can't resolve hostname to IP
//    address", "can't connect: ...", a socket error text + " (Error #N)", "HTTP line too long"
//    (a reply line of 8192 bytes or more), "HTTP header too long" (more than kMaxHeaderLines
//    lines), "Too many relocations", "Timeout" (SyncHead's limit), "Request aborted" (Abort).
//    ReplyHeader keeps what came, so a status line received before the failure stays its first
//    line.
//
// Nothing a caller puts into a value reaches the wire as a line of its own. Any event handler
// may destroy the client; the client then stops where it was.

#include "ControlConnection.h"
#include "HttpCodecs.h"
#include "HttpTypes.h"
#include "SyncWait.h"

#include "common/core/EventLoop.h"

#include <functional>
#include <string>
#include <vector>

namespace net {

class THttpCli : public ControlConnection
{
public:
    using TNotifyEvent = std::function<void(THttpCli& sender)>;
    using TTextEvent = std::function<void(THttpCli& sender, const std::string& text)>;
    using TErrorEvent = std::function<void(THttpCli& sender, int error)>;
    using THttpRequestDone = std::function<void(THttpCli& sender, THttpRequest request, int error)>;

    static constexpr std::size_t kLineBufferSize = 8192;
    // Relocations followed in a row before the request fails.
    static constexpr int kMaxRelocations = 10;
    // Header lines kept before the request fails.
    static constexpr std::size_t kMaxHeaderLines = 1000;
    // The status of the client's own failures.
    static constexpr int kFailureStatus = 404;

    THttpCli();

    // The URL to request: [http://][user[:password]@]host[:port][/path].
    std::string URL;
    std::string Agent = "Mozilla/3.0 (compatible)";
    std::string Accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
    std::string ContentTypePost = "application/x-www-form-urlencoded";
    std::string LocalAddr = "0.0.0.0";
    bool NoCache = false;
    std::string Sender;
    std::string Reference;
    std::string AcceptLanguage;
    // Basic authorization; the URL's own user and password are used when these are empty.
    std::string Username;
    std::string Password;
    std::string Cookie;
    std::string ContentRangeBegin;
    std::string ContentRangeEnd;
    // SyncHead's limit in seconds for the whole request, relocations included; 0 or less means
    // the default of 15.
    int Timeout = SyncWait::kDefaultTimeout;
    // Kept for callers that set it; there is one event queue, so it changes nothing.
    bool MultiThreaded = false;

    THttpState State() const { return static_cast<THttpState>(state()); }
    int ReplyStatusCode() const { return m_statusCode; }
    const std::string& ReplyReason() const { return m_reason; }
    // Every non-empty line received before the blank line that ends the header, status line
    // first, without line ends.
    const std::vector<std::string>& ReplyHeader() const { return m_replyHeader; }
    // -1 when the reply gave none.
    long long ContentLength() const { return m_contentLength; }
    const std::string& ContentType() const { return m_contentType; }
    // The last Location value received.
    const std::string& Location() const { return m_location; }
    // Host, port and path of the request made last (after relocations).
    const HttpUrl& RequestedUrl() const { return m_target; }
    TWSocket& CtrlSocket() { return Socket(); }

    // Starts a HEAD request for URL; raises EHttpException "HTTP component is busy" unless the
    // client is ready.
    void Head();
    // Head, then waits until the request has ended or Timeout seconds passed (then it aborts
    // with the reason "Timeout"). Raises EHttpException for a status of 400 or more, with the
    // reason as message; returns normally otherwise (status 0 included). A handler that
    // destroys the client during the wait makes it return at once; the caller must then not
    // touch the client.
    void SyncHead();
    // Drops the connection (or the look-up) and ends the request at once: status 404, reason
    // "Request aborted".
    void Abort();

    TNotifyEvent OnStateChange;
    TErrorEvent OnSessionConnected;
    // Each request line as it is sent.
    TTextEvent OnCommand;
    TNotifyEvent OnHeaderBegin;
    // Each line of the reply header, the blank line that ends it included.
    TTextEvent OnHeaderData;
    TNotifyEvent OnHeaderEnd;
    // The new URL of a relocation that is followed.
    TTextEvent OnLocationChange;
    THttpRequestDone OnRequestDone;

private:
    void doHead();
    void abortWith(const std::string& reason);

    void startAttempt();
    void resetReply();
    void sendRequest();
    void fail(const std::string& reason);
    void endRequest();
    void closeQuietly();

    [[noreturn]] void raise(const std::string& message) const override { throw EHttpException(message, 0); }
    void fireStateChange() override { engine().fire(OnStateChange, *this); }
    void fireRequestDone(int request, int error) override;
    void lookupRaised(const std::exception& e) override;
    void lookupFailed(int error) override;
    void connectRaised(const std::exception& e) override;
    void connectFailed(int error) override;
    void sessionConnected() override;
    void sessionClosed(int error) override;
    void dataAvailable() override;
    bool readingLines() const override;
    void lineReceived(const std::string& line) override;
    void discardData();
    void onHeaderEnd();
    bool relocate();

    SyncWait m_wait;
    core::Poster m_poster;
    THttpRequest m_request = THttpRequest::httpHEAD;
    HttpUrl m_target;
    int m_relocations = 0;
    // The request has ended; the posted step that makes the client ready is on its way.
    bool m_ended = true;
    bool m_headerStarted = false;
    bool m_relocation = false;

    int m_statusCode = 0;
    std::string m_reason;
    std::vector<std::string> m_replyHeader;
    long long m_contentLength = -1;
    std::string m_contentType;
    std::string m_location;
};

} // namespace net
