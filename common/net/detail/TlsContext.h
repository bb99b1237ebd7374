#pragma once

// The client side of OpenSSL shared by every TLS connection of the program: one context per
// trust file (the empty name: the system's trust store alone), made at its first use and kept.
// TLS 1.2 is the least version; certificates are always verified, against OpenSSL's default
// paths (SSL_CERT_FILE, SSL_CERT_DIR) and the trust file's certificates. A trust file changed
// on disk gives a new context at the next connection; connections still open keep theirs.

#include <memory>
#include <string>

struct ssl_ctx_st;

namespace net {

class TlsContext final
{
public:
    // The context for `trustFile`; nullptr with `error` set ("Trust file /x: No such file or
    // directory", "Trust file /x holds no certificate") when it cannot be made. GUI thread only.
    static std::shared_ptr<TlsContext> client(const std::string& trustFile, std::string& error);

    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    ssl_ctx_st* handle() const { return m_ctx; }

    // Largest trust file read; a bigger one is refused.
    static constexpr long kMaxTrustFileBytes = 8L * 1024 * 1024;

private:
    TlsContext() = default;
    static std::shared_ptr<TlsContext> make(const std::string& trustFile, std::string& error);
    bool addTrustFile(const std::string& path, std::string& error);

    ssl_ctx_st* m_ctx = nullptr;
};

} // namespace net
