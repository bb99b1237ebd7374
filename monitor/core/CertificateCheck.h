#pragma once

// What every TLS test checks beyond the handshake, and the lines it writes about certificates.
//
// The name checked (and sent as SNI): the IP column's text when it is a host name; else the
// row's caption when it is a valid DNS host name (the usual row: a name and its looked-up
// address); else the address itself, checked against the certificate's IP addresses, with no
// SNI. Trust is the system store's plus "TLSTrustFile" (beside the data file when it is a
// relative name); validity now and the name are checked
// by the socket layer during the handshake, which fails on any of them.
//
// Expiry: a certificate whose end of validity is less than CertExpiryWarnDays times 86,400
// seconds away fails the test, with a line that says when it expires and how many days are
// left; 0 days turns that early warning off.
//
// Lines (first attempts only, in the activity pane and the log; a retry stays silent):
//   "* HTTPS [127.0.0.1] TLS with web.test refused: certificate has expired"
//   "* HTTPS [127.0.0.1] Certificate of web.test expires <date time>: 3 days left"
// and with Verbose, below an OK result: "Certificate: <subject>", "Issuer: <issuer>",
// "Expires: <date time> (<n> days left)".

#include "monitor/core/Probe.h"
#include "monitor/core/TestContext.h"

#include "common/net/Tls.h"

#include <ctime>
#include <optional>
#include <string>

namespace monitor {

struct MonitorSettings;

// RFC 1123 host name: labels of 1 to 63 letters, digits and hyphens, no hyphen first or last,
// 253 characters in all (a final dot allowed); not all digits and dots (an address).
bool isDnsHostName(const std::string& text);

// The name a row's TLS test checks, and whether it goes out as SNI.
net::TlsSettings tlsSettingsFor(const TestContext& context, const std::string& trustFile);

// Whole days from `now` to `until`, rounded down (negative once it has passed).
long long daysLeft(std::time_t until, std::time_t now);

// One TLS attempt's certificate: kept from the handshake, judged at the attempt's end.
class CertificateCheck
{
public:
    // `handshakeLines`: a failed handshake gets a line here (the HTTPS probe tells it as its
    // exception instead).
    CertificateCheck(const MonitorSettings& settings, const char* word, bool handshakeLines = true);

    // Before an attempt: forgets the last handshake; the settings for the connection.
    net::TlsSettings begin(const TestContext& context, const std::string& target);
    // The handshake of this attempt ended (also when it failed).
    void handshakeEnded(const net::TlsPeerInfo& peer);
    // At the attempt's end: whether it stands, with the certificate's lines written on a first
    // attempt. A failed handshake fails; so does a certificate too close to its end. `reason`
    // becomes the failure's few words then ("certificate has expired", "certificate expires in
    // 3 days").
    bool judge(bool ok, Attempt attempt, ProbeLines& lines, std::string& reason);
    // Verbose lines below an OK result.
    void reportResult(bool ok, ProbeLines& lines) const;

    // The end of validity of the certificate received in the last attempt, if one came.
    std::optional<std::time_t> notAfter() const;

private:
    const MonitorSettings& m_settings;
    const char* m_word;
    const bool m_handshakeLines;
    std::string m_target;
    std::optional<net::TlsPeerInfo> m_peer;
};

} // namespace monitor
