// TCustomSmtpClient's DATA: the generated header, then the message line by line.
//
// Lines go out in batches of up to kBatchBytes: each line is taken, cut, dot-stuffed, shown
// and counted as before, but one socket write and one "data sent" round through the event loop
// carry many lines. The next batch is made when the socket reports the previous one handed to
// the system, so at most one batch waits in our own queue.

#include "CustomSmtpClient.h"

#include "WSocketResolve.h"
#include "detail/LineBreaks.h"
#include "detail/MimeCodecs.h"
#include "detail/SmtpCodecs.h"

#include <QDateTime>

#include <cstring>

namespace net {

namespace {

constexpr std::size_t kBatchBytes = 64 * 1024;

std::string trimmed(const std::string& text)
{
    return WSocketTrim(text);
}

// A header line as it goes out: a fold (CR LF and a blank or TAB) stays, any other CR or LF
// becomes a blank, and each physical line is cut to the longest line sent.
std::string headerWireLine(const std::string& line, std::size_t maxLine)
{
    std::string out;
    out.reserve(line.size());
    std::size_t physical = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\r' && i + 2 < line.size() && line[i + 1] == '\n' && (line[i + 2] == ' ' || line[i + 2] == '\t')) {
            out += "\r\n";
            ++i;
            physical = 0;
            continue;
        }
        if (c == '\r' || c == '\n')
            c = ' ';
        if (physical < maxLine) {
            out += c;
            ++physical;
        }
    }
    return out;
}

// A body line as it goes out: cut, then a leading "." doubled.
void finishBodyLine(std::string& line, std::size_t maxLine)
{
    if (line.size() > maxLine)
        line.resize(maxLine);
    if (!line.empty() && line[0] == '.')
        line.insert(line.begin(), '.');
}

} // namespace

void TCustomSmtpClient::prepareBody()
{
    m_headerCharset = CharSet;
    m_headerTransferEncoding.clear();
}

void TCustomSmtpClient::doData()
{
    checkReady();
    if (!Connected())
        misuse("not connected");
    prepareBody();
    m_headerLines.clear();
    if (!OwnHeaders)
        buildHeaderLines();
    execCommand(TSmtpRequest::smtpRqData, "DATA", { 354 }, [this] { dataStart(); });
}

// Values never hold a line break; a value with bytes above 127 becomes RFC 2047 words in UTF-8
// (or in CharSet when it is no UTF-8), cut first so that the line fits the longest line sent.
void TCustomSmtpClient::buildHeaderLines()
{
    auto& h = m_headerLines;
    const auto add = [&](const std::string& name, const std::string& value, HeaderKind kind) {
        std::string clean = withoutLineBreaks(value);
        const std::string prefix = name + ": ";
        if (!hasEightBit(clean)) {
            h.push_back(prefix + clean);
            return;
        }
        const bool utf8 = isUtf8(clean);
        const std::size_t room = kMaxBodyLine > prefix.size() ? kMaxBodyLine - prefix.size() : 0;
        clean.resize(utf8 ? utf8Cut(clean, room) : std::min(room, clean.size()));
        h.push_back(prefix + encodeHeaderValue(clean, kind, utf8 ? "utf-8" : CharSet, prefix.size()));
    };
    if (!trimmed(HdrReplyTo).empty())
        add("Reply-To", HdrReplyTo, HeaderKind::Addresses);
    if (!trimmed(HdrReturnPath).empty())
        add("Return-Path", HdrReturnPath, HeaderKind::Addresses);
    if (!HdrFrom.empty())
        add("From", HdrFrom, HeaderKind::Addresses);
    if (!HdrTo.empty())
        add("To", HdrTo, HeaderKind::Addresses);
    if (!HdrCc.empty())
        add("Cc", HdrCc, HeaderKind::Addresses);
    add("Subject", HdrSubject, HeaderKind::Text);
    if (!trimmed(HdrSender).empty())
        add("Sender", HdrSender, HeaderKind::Addresses);
    else if (!trimmed(HdrFrom).empty())
        add("Sender", HdrFrom, HeaderKind::Addresses);
    h.emplace_back("Mime-Version: 1.0");
    h.push_back("Content-Type: " + mediaType() + "; charset=\"" + m_headerCharset + "\"");
    if (!m_headerTransferEncoding.empty())
        h.push_back("Content-Transfer-Encoding: " + m_headerTransferEncoding);
    h.push_back("Date: " + smtpDateText(QDateTime::currentDateTimeUtc()));
    h.push_back(
        "X-Mailer: NetClients SMTP Component V" + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor));
    engine().fire(OnProcessHeader, *this, h);
    h.emplace_back();
}

void TCustomSmtpClient::dataStart()
{
    if (engine().result() != 0)
        return completeRequest(engine().result());
    m_headerIndex = 0;
    m_bodyLineCount = 0;
    m_pieces.clear();
    m_moreData = true;
    m_dataTransfer = true;
    sendDataBatch();
}

void TCustomSmtpClient::dataSent()
{
    if (!m_dataTransfer || !m_batchInFlight)
        return;
    m_batchInFlight = false;
    runInternal([this] { sendDataBatch(); });
}

void TCustomSmtpClient::sendDataBatch()
{
    setState(TSmtpState::smtpInternalReady);
    std::string batch;
    batch.reserve(kBatchBytes + kMaxBodyLine + 2);
    std::string line;
    while (batch.size() < kBatchBytes) {
        const bool more = nextDataLine(line);
        // A handler may have aborted the transfer (and closed the connection) meanwhile.
        if (!m_dataTransfer)
            return;
        if (!more) {
            m_dataTransfer = false;
            if (!batch.empty())
                Socket().SendStr(batch);
            execCommand(TSmtpRequest::smtpRqData, ".", { 250 }, nullptr);
            return;
        }
        if (OnDisplay) {
            display("> " + line);
            if (!m_dataTransfer)
                return;
        }
        batch += line;
        batch += "\r\n";
    }
    m_batchInFlight = true;
    Socket().SendStr(batch);
}

// The next line of the message as it goes out; false after the last one.
bool TCustomSmtpClient::nextDataLine(std::string& line)
{
    if (!m_pieces.empty()) {
        line = std::move(m_pieces.front());
        m_pieces.pop_front();
        return true;
    }
    onLineTraffic();
    if (m_headerIndex < m_headerLines.size()) {
        std::string raw = m_headerLines[m_headerIndex++];
        headerLineHook(raw);
        engine().fire(OnHeaderLine, *this, raw);
        line = headerWireLine(raw, kMaxBodyLine);
        return true;
    }
    if (!m_moreData)
        return false;
    ++m_bodyLineCount;
    line.clear();
    try {
        m_moreData = fetchBodyLine(m_bodyLineCount, line, kMaxBodyLine);
    } catch (const std::exception&) {
        m_moreData = false;
    }
    if (!m_moreData)
        return false;
    if (std::memchr(line.data(), '\r', line.size()) || std::memchr(line.data(), '\n', line.size())) {
        // Every CR, LF or CR LF inside is a line break of the message.
        for (auto& piece : splitLines(line, FinalBreak::StartsLine)) {
            finishBodyLine(piece, kMaxBodyLine);
            m_pieces.push_back(std::move(piece));
        }
        line = std::move(m_pieces.front());
        m_pieces.pop_front();
        return true;
    }
    finishBodyLine(line, kMaxBodyLine);
    return true;
}

bool TCustomSmtpClient::fetchBodyLine(int lineNumber, std::string& line, int maxLength)
{
    bool more = true;
    if (!OnGetData)
        return false;
    engine().fire(OnGetData, *this, lineNumber, line, maxLength, more);
    return more;
}

} // namespace net
