#pragma once

// The request bookkeeping of the line-protocol clients (held by ControlConnection):
// one request at a time with its type and result, the reply codes the pending command accepts
// and the continuation run on its final reply, the request's texts (LastResponse, the first
// error, the status code), the end of a request reported once through a posted OnRequestDone,
// and the texts of a time-out and an abort. It also makes destroying the client inside one of
// its own events safe:
//
//   engine.fire(OnDisplay, *this, text);   // throws ClientDestroyed when the handler
//                                           // destroyed the client (and with it the engine)
//
// ClientDestroyed is no std::exception: it passes every `catch (const std::exception&)` and
// unwinds, touching nothing, to an entry point that swallows it: the socket's event guard, a
// public operation (RequestEngine::entry), or a blocking wrapper.

#include "common/core/EventLoop.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace net {

// The client is gone: leave without touching it.
struct ClientDestroyed
{
};

class RequestEngine final
{
public:
    using Action = std::function<void()>;
    // The client's OnRequestDone: its request type (as int) and 0 or the error as a 16-bit word.
    using DoneHandler = std::function<void(int request, int error)>;

    static constexpr const char* kTimeoutText = "426 Timeout";
    static constexpr const char* kAbortedText = "426 Operation aborted.";
    static constexpr int kTimeoutCode = 426;

    RequestEngine() = default;
    RequestEngine(const RequestEngine&) = delete;
    RequestEngine& operator=(const RequestEngine&) = delete;

    void setDoneHandler(DoneHandler handler) { m_onDone = std::move(handler); }

    // ---- the request ----------------------------------------------------------------------
    // A new request: its type, result 0, not ended; the pending command is forgotten.
    void start(int request);
    int request() const { return m_request; }
    void setRequest(int request) { m_request = request; }
    bool ended() const { return m_ended; }
    void reopen() { m_ended = false; }
    int result() const { return m_result; }
    void setResult(int result) { m_result = result; }
    // Marks the request ended; false when it had ended already (it ends only once).
    bool end();
    // Posts OnRequestDone(request, error): it runs from the event loop, after the step that
    // ended the request has returned, and never once the client is gone.
    void postDone(int error);
    // The whole end of a simple request: end once, keep the result, post OnRequestDone.
    bool complete(int error);

    // ---- the pending command --------------------------------------------------------------
    // The codes that accept the pending command (empty: any code below 500) and what runs on
    // its final reply instead of ending the request.
    void expect(std::vector<int> accepted, Action then);
    // Judges a final reply code: 0 when accepted, else the code (500 for a line without one),
    // which also becomes the request's first error with the reply line. Sets the status code
    // and the result; returns the result.
    int judge(int code);
    Action takeContinuation();

    // ---- texts ----------------------------------------------------------------------------
    const std::string& lastResponse() const { return m_lastResponse; }
    void setLastResponse(std::string line) { m_lastResponse = std::move(line); }
    const std::string& errorMessage() const { return m_errorMessage; }
    // Keeps the first error of the request.
    void noteError(const std::string& text);
    void overwriteError(const std::string& text) { m_errorMessage = text; }
    void clearTexts();
    void clearError() { m_errorMessage.clear(); }
    int statusCode() const { return m_statusCode; }
    void setStatusCode(int code) { m_statusCode = code; }
    // A reply made up by the client (a look-up or connect failure, say): last response, status
    // 500, first error, and `result` as the request's result.
    void localReply(const std::string& response, int result);
    // The blocking wrapper gave up (time-out or quitting program): "426 Timeout", status 426.
    void timedOut();

    // ---- events ---------------------------------------------------------------------------
    // Calls an event handler if there is one; throws ClientDestroyed when the handler destroyed
    // the client that owns this engine.
    template <class Handler, class... Args> void fire(const Handler& handler, Args&&... args) const
    {
        if (!handler)
            return;
        const std::weak_ptr<const char> alive = m_alive;
        handler(std::forward<Args>(args)...);
        if (alive.expired())
            throw ClientDestroyed {};
    }
    // Throws ClientDestroyed when `alive` (taken before an event) has expired.
    static void check(const std::weak_ptr<const char>& alive)
    {
        if (alive.expired())
            throw ClientDestroyed {};
    }
    std::weak_ptr<const char> alive() const { return m_alive; }
    // Runs a public operation: a ClientDestroyed thrown inside ends it quietly. Exceptions of
    // misuse pass.
    static void entry(const std::function<void()>& operation);

private:
    std::shared_ptr<const char> m_alive = std::make_shared<const char>('\0');
    core::Poster m_poster;
    DoneHandler m_onDone;
    int m_request = 0;
    bool m_ended = true;
    int m_result = 0;
    std::vector<int> m_accepted;
    Action m_then;
    std::string m_lastResponse;
    std::string m_errorMessage;
    int m_statusCode = 0;
};

} // namespace net
