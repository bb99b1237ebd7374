#pragma once

// The mail settings both programs keep, each under its own keys, and what a send makes of them:
// the server field ("host", "host:port", "[address]:port"), the port that goes with the
// security, and the password, taken from the settings or read from a password file.

#include "Tls.h"

#include <set>
#include <string>

namespace net {

struct MailSettings
{
    std::string server; // "mail.example.org", "mail.example.org:2525", "[2001:db8::25]:587"
    std::string port; // empty: 25, 587 or 465 by the security; a port in `server` wins
    std::string security; // "None", "STARTTLS" or "TLS", any letter case; anything else: None
    std::string user; // empty: no log-in
    std::string password;
    // Read when `password` is empty: its first line. A relative name is looked up in
    // $CREDENTIALS_DIRECTORY (systemd's LoadCredential=) first, then beside the settings file.
    std::string passwordFile;
    // Certificates trusted beside the system's; a relative name is beside the settings file.
    std::string trustFile;
};

// The server field split into host (without brackets) and port (empty when none is given).
// More than one colon without brackets is an IPv6 address without a port.
struct ServerField
{
    std::string host;
    std::string port;
};
ServerField splitServerField(const std::string& text);

TlsMode securityOf(const std::string& text);
// "None", "STARTTLS", "TLS": the names the settings store.
const char* securityName(TlsMode mode);
// 25, 587 (submission, RFC 6409) or 465 (submissions, RFC 8314).
std::string defaultPort(TlsMode mode);
// The port a send uses: the server field's, else the port setting, else the default.
std::string portOf(const MailSettings& settings);
// A relative name taken as lying in the folder of `settingsFile`.
std::string besideSettings(const std::string& name, const std::string& settingsFile);

// The password of each send, read anew every time (a changed file counts at once). Telling
// that a file which holds a password may be read by other users happens once per file for the
// life of this object: once per program start.
class MailPasswords
{
public:
    struct Result
    {
        bool ok = true;
        std::string password;
        std::string error; // why no password could be read ("Password file /x: Is a directory")
        std::string warning; // the file may be read by other users
    };

    // Largest password file read; only its first line counts.
    static constexpr std::size_t kMaxFileBytes = 64 * 1024;

    Result read(const MailSettings& settings, const std::string& settingsFile);

private:
    std::string passwordFilePath(const std::string& name, const std::string& settingsFile) const;
    void warnIfShared(const std::string& path, const char* what, Result& result);

    std::set<std::string> m_warned;
};

} // namespace net
