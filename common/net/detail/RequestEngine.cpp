#include "RequestEngine.h"

#include <algorithm>

namespace net {

void RequestEngine::start(int request)
{
    m_request = request;
    m_result = 0;
    m_ended = false;
    m_accepted.clear();
    m_then = nullptr;
}

bool RequestEngine::end()
{
    if (m_ended)
        return false;
    m_ended = true;
    return true;
}

void RequestEngine::postDone(int error)
{
    const int request = m_request;
    m_poster.post([this, request, error] {
        // The last thing done for this request: the handler may destroy the client.
        if (m_onDone)
            m_onDone(request, error & 0xFFFF);
    });
}

bool RequestEngine::complete(int error)
{
    if (!end())
        return false;
    m_result = error;
    m_accepted.clear();
    m_then = nullptr;
    postDone(error);
    return true;
}

void RequestEngine::expect(std::vector<int> accepted, Action then)
{
    m_accepted = std::move(accepted);
    m_then = std::move(then);
    m_ended = false;
}

int RequestEngine::judge(int code)
{
    m_statusCode = code;
    int result = 0;
    if (m_accepted.empty()) {
        result = code < 500 ? 0 : code;
    } else if (std::find(m_accepted.begin(), m_accepted.end(), code) == m_accepted.end()) {
        result = code != 0 ? code : 500; // a line without a code is no success either
    }
    if (result != 0)
        noteError(m_lastResponse);
    m_result = result;
    return result;
}

RequestEngine::Action RequestEngine::takeContinuation()
{
    Action then = std::move(m_then);
    m_then = nullptr;
    return then;
}

void RequestEngine::noteError(const std::string& text)
{
    if (m_errorMessage.empty())
        m_errorMessage = text;
}

void RequestEngine::clearTexts()
{
    m_lastResponse.clear();
    m_errorMessage.clear();
}

void RequestEngine::localReply(const std::string& response, int result)
{
    m_lastResponse = response;
    m_statusCode = 500;
    noteError(response);
    m_result = result;
}

void RequestEngine::timedOut()
{
    m_errorMessage = kTimeoutText;
    m_statusCode = kTimeoutCode;
}

void RequestEngine::entry(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const ClientDestroyed&) {
        // An event handler destroyed the client: nothing of it may be touched any more.
    }
}

} // namespace net
