#pragma once

// What a connection asks of TLS and what a handshake learnt. TLS runs under the socket layer
// (TWSocket) on OpenSSL 3: TLS 1.2 and 1.3 only, certificates checked against the system's
// trust store through OpenSSL's default paths (so SSL_CERT_FILE and SSL_CERT_DIR work), plus an
// optional trust file, and against the name the user typed. Verification cannot be turned off.

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace net {

// How a line-protocol client secures its connection.
enum class TlsMode
{
    None, // plain text
    StartTls, // plain text first, upgraded by the protocol's command (SMTP's STARTTLS)
    Implicit // TLS from the first byte (SMTP on 465)
};

// The error number of a failed handshake or verification; beyond Winsock's numbers, so no
// client mistakes it for one. The socket's LastErrorMessage says what failed.
inline constexpr int TlsFailed = 12001;

// One connection's wishes.
struct TlsSettings
{
    // The host name or IP address the certificate must name; the connection's host when empty.
    std::string verifyName;
    // The name sent as SNI: by default the checked name when it is a name (never an address);
    // an empty text sends none.
    std::optional<std::string> sniName;
    // A PEM file of certificates trusted beside the system's; empty: the system's alone.
    std::string trustFile;
};

// The facts of the last handshake, also of one that failed verification.
struct TlsPeerInfo
{
    bool established = false;
    std::string version; // "TLS 1.3"
    std::string cipher; // "TLS_AES_256_GCM_SHA384"
    std::string checkedName; // the name the certificate was checked against
    bool hasCertificate = false;
    std::string subject; // one line, RFC 2253
    std::string issuer;
    std::vector<std::string> names; // DNS names and IP addresses of subjectAltName
    std::time_t notBefore = 0;
    std::time_t notAfter = 0;
    long verifyResult = 0; // X509_V_OK or the verify error
    std::string failure; // empty, or what a user reads: "certificate has expired", ...
};

// Whether `text` is a numeric IPv4 or IPv6 address (no brackets).
bool isIpAddress(const std::string& text);

} // namespace net
