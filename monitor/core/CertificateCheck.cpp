#include "monitor/core/CertificateCheck.h"

#include "common/core/DateTimeText.h"
#include "common/net/MailSettings.h"
#include "monitor/core/MonitorSettings.h"

#include <QDateTime>

#include <cmath>

namespace monitor {

namespace {

constexpr long long kDay = 86400;

bool isLabel(const std::string& text, std::size_t begin, std::size_t end)
{
    if (end == begin || end - begin > 63 || text[begin] == '-' || text[end - 1] == '-')
        return false;
    for (std::size_t i = begin; i < end; ++i) {
        const char c = text[i];
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        if (!ok)
            return false;
    }
    return true;
}

std::string expiryText(std::time_t notAfter)
{
    return core::dateTimeText(QDateTime::fromSecsSinceEpoch(static_cast<qint64>(notAfter)));
}

std::string daysText(long long days)
{
    return std::to_string(days) + (days == 1 ? " day" : " days");
}

} // namespace

bool isDnsHostName(const std::string& text)
{
    std::string name = text;
    if (!name.empty() && name.back() == '.')
        name.pop_back();
    if (name.empty() || name.size() > 253 || net::isIpAddress(name))
        return false;
    bool onlyDigits = true;
    std::size_t begin = 0;
    while (true) {
        const std::size_t dot = name.find('.', begin);
        const std::size_t end = dot == std::string::npos ? name.size() : dot;
        if (!isLabel(name, begin, end))
            return false;
        onlyDigits = onlyDigits && name.find_first_not_of("0123456789", begin) >= end;
        if (dot == std::string::npos)
            break;
        begin = dot + 1;
    }
    // "1.2.3" or "10" is an address in the resolver's eyes, never a name.
    return !onlyDigits;
}

net::TlsSettings tlsSettingsFor(const TestContext& context, const std::string& trustFile)
{
    net::TlsSettings settings;
    settings.trustFile = trustFile;
    if (isDnsHostName(context.IP))
        settings.verifyName = context.IP;
    else if (isDnsHostName(context.host))
        settings.verifyName = context.host;
    else
        settings.verifyName = context.IP;
    // An address is never sent as SNI (RFC 6066); the socket layer leaves it out.
    return settings;
}

long long daysLeft(std::time_t until, std::time_t now)
{
    const long long seconds = static_cast<long long>(until) - static_cast<long long>(now);
    return seconds >= 0 ? seconds / kDay : -((-seconds + kDay - 1) / kDay);
}

CertificateCheck::CertificateCheck(const MonitorSettings& settings, const char* word, bool handshakeLines)
    : m_settings(settings)
    , m_word(word)
    , m_handshakeLines(handshakeLines)
{
}

net::TlsSettings CertificateCheck::begin(const TestContext& context, const std::string& target)
{
    m_target = target;
    m_peer.reset();
    return tlsSettingsFor(context, net::besideSettings(m_settings.tlsTrustFile, m_settings.dataFile));
}

void CertificateCheck::handshakeEnded(const net::TlsPeerInfo& peer)
{
    m_peer = peer;
}

bool CertificateCheck::judge(bool ok, Attempt attempt, ProbeLines& lines, std::string& reason)
{
    if (!m_peer)
        return ok;
    const net::TlsPeerInfo& peer = *m_peer;
    const std::string head = std::string("* ") + m_word + " [" + m_target + "] ";
    std::string problem;
    if (!peer.established) {
        problem = "TLS with " + peer.checkedName + (peer.verifyResult != 0 && peer.hasCertificate ? " refused: " : " failed: ")
            + (peer.failure.empty() ? std::string("handshake failure") : peer.failure);
        reason = peer.failure.empty() ? std::string("handshake failure") : peer.failure;
        if (peer.hasCertificate && peer.verifyResult != 0 && peer.notAfter != 0 && peer.notAfter < std::time(nullptr))
            problem += " (on " + expiryText(peer.notAfter) + ")";
        ok = false;
    } else if (m_settings.certExpiryWarnDays > 0 && peer.hasCertificate) {
        const std::time_t now = std::time(nullptr);
        const long long left = static_cast<long long>(peer.notAfter) - static_cast<long long>(now);
        if (left < static_cast<long long>(m_settings.certExpiryWarnDays) * kDay) {
            problem = "Certificate of " + peer.checkedName + " expires " + expiryText(peer.notAfter) + ": "
                + daysText(daysLeft(peer.notAfter, now)) + " left";
            reason = "certificate expires in " + daysText(daysLeft(peer.notAfter, now));
            ok = false;
        }
    }
    const bool told = !peer.established && !m_handshakeLines;
    if (!problem.empty() && attempt == Attempt::First && !told) {
        lines.activity(head + problem);
        lines.log(head + problem);
    }
    return ok;
}

void CertificateCheck::reportResult(bool ok, ProbeLines& lines) const
{
    if (!ok || !m_settings.Verbose || !m_peer || !m_peer->hasCertificate)
        return;
    const net::TlsPeerInfo& peer = *m_peer;
    lines.activity("Certificate: " + peer.subject);
    lines.activity("Issuer: " + peer.issuer);
    lines.activity("Expires: " + expiryText(peer.notAfter) + " (" + daysText(daysLeft(peer.notAfter, std::time(nullptr)))
        + " left)");
}

std::optional<std::time_t> CertificateCheck::notAfter() const
{
    if (!m_peer || !m_peer->hasCertificate)
        return std::nullopt;
    return m_peer->notAfter;
}

} // namespace monitor
