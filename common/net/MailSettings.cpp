#include "MailSettings.h"

#include "WSocketResolve.h"

#include "common/core/RegularFile.h"

#include <sys/stat.h>

#include <cstdlib>

namespace net {

namespace {

std::string upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return text;
}

bool sharedMode(mode_t mode)
{
    return (mode & (S_IRGRP | S_IROTH)) != 0;
}

} // namespace

ServerField splitServerField(const std::string& text)
{
    const std::string field = WSocketTrim(text);
    if (!field.empty() && field.front() == '[') {
        const std::size_t close = field.find(']');
        if (close != std::string::npos) {
            const std::string rest = field.substr(close + 1);
            return { field.substr(1, close - 1), rest.size() > 1 && rest[0] == ':' ? rest.substr(1) : "" };
        }
    }
    const std::size_t colon = field.find(':');
    if (colon == std::string::npos || field.find(':', colon + 1) != std::string::npos)
        return { field, "" };
    return { field.substr(0, colon), field.substr(colon + 1) };
}

TlsMode securityOf(const std::string& text)
{
    const std::string name = upper(WSocketTrim(text));
    if (name == "STARTTLS")
        return TlsMode::StartTls;
    if (name == "TLS")
        return TlsMode::Implicit;
    return TlsMode::None;
}

const char* securityName(TlsMode mode)
{
    switch (mode) {
    case TlsMode::StartTls:
        return "STARTTLS";
    case TlsMode::Implicit:
        return "TLS";
    default:
        return "None";
    }
}

std::string defaultPort(TlsMode mode)
{
    switch (mode) {
    case TlsMode::StartTls:
        return "587";
    case TlsMode::Implicit:
        return "465";
    default:
        return "25";
    }
}

std::string portOf(const MailSettings& settings)
{
    const ServerField field = splitServerField(settings.server);
    if (!field.port.empty())
        return field.port;
    const std::string port = WSocketTrim(settings.port);
    return port.empty() ? defaultPort(securityOf(settings.security)) : port;
}

std::string besideSettings(const std::string& name, const std::string& settingsFile)
{
    if (name.empty() || name.front() == '/')
        return name;
    const std::size_t slash = settingsFile.rfind('/');
    return slash == std::string::npos ? name : settingsFile.substr(0, slash + 1) + name;
}

// ---- passwords ----------------------------------------------------------------------------

std::string MailPasswords::passwordFilePath(const std::string& name, const std::string& settingsFile) const
{
    if (name.front() == '/')
        return name;
    if (const char* credentials = std::getenv("CREDENTIALS_DIRECTORY"); credentials && *credentials) {
        const std::string path = std::string(credentials) + "/" + name;
        struct stat st
        {
        };
        if (::stat(path.c_str(), &st) == 0)
            return path;
    }
    return besideSettings(name, settingsFile);
}

void MailPasswords::warnIfShared(const std::string& path, const char* what, Result& result)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0 || !sharedMode(st.st_mode) || !m_warned.insert(path).second)
        return;
    result.warning = std::string(what) + " " + path + " holds a mail password that other users may read: make it mode 0600";
}

MailPasswords::Result MailPasswords::read(const MailSettings& settings, const std::string& settingsFile)
{
    Result result;
    if (WSocketTrim(settings.user).empty())
        return result;
    if (!settings.password.empty() || settings.passwordFile.empty()) {
        result.password = settings.password;
        if (!settings.password.empty() && !settingsFile.empty())
            warnIfShared(settingsFile, "The settings file", result);
        return result;
    }
    const std::string path = passwordFilePath(settings.passwordFile, settingsFile);
    const auto fail = [&](const std::string& why) {
        result.ok = false;
        result.error = "Password file " + path + why;
        return result;
    };
    // Never blocks: a FIFO or a device is refused before it is opened.
    std::string text;
    if (const int error = core::readRegularFile(path, kMaxFileBytes, text); error != 0)
        return fail(": " + core::fileErrorText(error));
    warnIfShared(path, "The password file", result);
    text = text.substr(0, text.find('\n'));
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    if (text.empty())
        return fail(" holds no password on its first line");
    result.password = text;
    return result;
}

} // namespace net
