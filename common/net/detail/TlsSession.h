#pragma once

// One TLS connection over a connected non-blocking descriptor, for TWSocket. Every call returns
// at once: WantRead and WantWrite say which readiness lets the same call go on. The descriptor
// is read and written with recv and send (never a SIGPIPE) and stays the socket's.

#include "common/net/Tls.h"

#include <cstddef>
#include <memory>
#include <string>

struct ssl_st;
struct x509_st;
struct x509_store_ctx_st;

namespace net {

class TlsContext;

class TlsSession final
{
public:
    enum class Io
    {
        Done,
        WantRead,
        WantWrite,
        Closed, // the peer ended the connection
        Failed // see failureText() or systemError()
    };

    // `checkedName`: the host name or address the certificate must name; `sniName`: sent as
    // SNI unless empty.
    TlsSession(std::shared_ptr<TlsContext> context, int fd, const std::string& checkedName, const std::string& sniName);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    // Drives the handshake; Done once it is complete and the certificate verified.
    Io handshake();
    // At most `size` bytes of the peer's data.
    Io read(void* buffer, std::size_t size, std::size_t& got);
    // Takes what fits (at least one record when Done). After WantRead or WantWrite the same
    // bytes must be offered again.
    Io write(const void* data, std::size_t size, std::size_t& put);
    // Tells the peer that no more data comes (close_notify), if that can go out at once.
    void closeNotify();
    // Bytes received and not yet handed out (readiness of the descriptor does not show them).
    bool hasPending() const;

    const TlsPeerInfo& peer() const { return m_peer; }
    // After Failed from read or write: the socket error number, 0 for a TLS protocol error.
    int systemError() const { return m_systemError; }
    // After a failed handshake: "TLS with mail.example refused: certificate has expired",
    // "TLS with mail.example failed: wrong version number".
    const std::string& failureText() const { return m_failureText; }

    struct BioState;

private:
    static int onVerify(int ok, x509_store_ctx_st* store);
    Io outcome(int result);
    void handshakeFailed();
    void describePeer();

    std::shared_ptr<TlsContext> m_context;
    std::unique_ptr<BioState> m_bio;
    ssl_st* m_ssl = nullptr;
    x509_st* m_leaf = nullptr;
    TlsPeerInfo m_peer;
    int m_systemError = 0;
    std::string m_failureText;
};

} // namespace net
