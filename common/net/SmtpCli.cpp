#include "SmtpCli.h"

#include "WSocketResolve.h"
#include "detail/LineBreaks.h"
#include "detail/MimeCodecs.h"
#include "detail/SmtpCodecs.h"

#include <QDateTime>

#include <algorithm>
#include <filesystem>

namespace net {

namespace {

// 15 groups of 3 bytes: one base64 line of 60 characters.
constexpr std::size_t kBytesPerLine = 45;

bool startsWithNoCase(const std::string& text, const std::string& prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    }
    return true;
}

std::string baseName(const std::string& path)
{
    return std::filesystem::path(path).filename().string();
}

} // namespace

TSmtpCli::TSmtpCli() = default;
TSmtpCli::~TSmtpCli() = default;

void TSmtpCli::SetMailMessageText(const std::string& text)
{
    MailMessage = splitLines(text, FinalBreak::EndsLastLine);
}

void TSmtpCli::SetEmailFiles(const std::vector<std::string>& files)
{
    std::vector<std::string> checked;
    for (const auto& entry : files) {
        const std::string name = WSocketTrim(entry);
        if (name.empty())
            continue;
        std::error_code ec;
        if (!std::filesystem::exists(name, ec))
            throw SmtpException("File not found '" + name + "'");
        checked.push_back(name);
    }
    EmailFiles = std::move(checked);
}

void TSmtpCli::SetEmailFilesText(const std::string& text)
{
    SetEmailFiles(splitLines(text, FinalBreak::EndsLastLine));
}

void TSmtpCli::prepareBody()
{
    m_fileIndex = 0;
    m_getDataCount = 0;
    m_askGetData = true;
    m_encoding = false;
    if (m_file.is_open())
        m_file.close();
    m_bodyLines.clear();
    m_boundary.clear();

    const bool eightBit = std::any_of(
        MailMessage.begin(), MailMessage.end(), [](const std::string& line) { return hasEightBit(line); });
    const bool utf8
        = std::all_of(MailMessage.begin(), MailMessage.end(), [](const std::string& line) { return isUtf8(line); });
    m_quotedPrintable = eightBit && !OwnHeaders;
    m_textCharset = m_quotedPrintable && utf8 ? "utf-8" : CharSet;
    m_headerCharset = m_textCharset;
    m_headerTransferEncoding.clear();

    if (!EmailFiles.empty()) {
        m_boundary = smtpMultipartBoundary(QDateTime::currentDateTime());
        for (const char* structure : { "This is a multipart MIME message.", "" })
            m_bodyLines.push_back({ structure, false });
        m_bodyLines.push_back({ "--" + m_boundary, false });
        m_bodyLines.push_back({ "Content-Type: " + mediaType() + "; charset=\"" + m_textCharset + "\"", false });
        m_bodyLines.push_back(
            { std::string("Content-Transfer-Encoding: ") + (m_quotedPrintable ? "quoted-printable" : "7bit"), false });
        m_bodyLines.push_back({ "", false });
    } else if (m_quotedPrintable) {
        m_headerTransferEncoding = "quoted-printable";
    }
    for (const auto& line : MailMessage)
        m_bodyLines.push_back({ line, true });
}

void TSmtpCli::headerLineHook(std::string& line)
{
    if (!m_boundary.empty() && startsWithNoCase(line, "CONTENT-TYPE:"))
        line = "Content-Type: multipart/mixed;\r\n\tboundary=\"" + m_boundary + "\"";
}

// Quoted-printable lines of one text entry, in front of the queue: each line of the entry (every
// CR, LF or CR LF breaks it) cut to the longest body line without splitting a character.
void TSmtpCli::queueText(std::string text)
{
    std::vector<std::string> encoded;
    for (const auto& piece : splitLines(text, FinalBreak::StartsLine)) {
        const std::string_view part(piece);
        const std::size_t keep
            = m_textCharset == "utf-8" ? utf8Cut(part, kMaxBodyLine) : std::min<std::size_t>(part.size(), kMaxBodyLine);
        for (auto& line : quotedPrintableLines(part.substr(0, keep)))
            encoded.push_back(std::move(line));
    }
    for (auto it = encoded.rbegin(); it != encoded.rend(); ++it)
        m_bodyLines.push_front({ std::move(*it), false });
}

bool TSmtpCli::fetchBodyLine(int lineNumber, std::string& line, int maxLength)
{
    (void)lineNumber;
    while (!m_bodyLines.empty()) {
        BodyLine next = std::move(m_bodyLines.front());
        m_bodyLines.pop_front();
        if (next.isText && m_quotedPrintable) {
            queueText(std::move(next.text));
            continue;
        }
        line = std::move(next.text);
        return true;
    }
    if (m_askGetData) {
        bool more = true;
        if (OnGetData) {
            line.clear();
            engine().fire(OnGetData, *this, ++m_getDataCount, line, maxLength, more);
        }
        if (OnGetData && more) {
            if (!m_quotedPrintable)
                return true;
            queueText(std::move(line));
            return fetchBodyLine(lineNumber, line, maxLength);
        }
        m_askGetData = false;
    }
    if (m_encoding) {
        line = nextBase64Line();
        return true;
    }
    if (m_fileIndex < EmailFiles.size()) {
        startAttachment();
        line.clear();
        return true;
    }
    return false;
}

// Opens the next file (raising when it cannot, which ends the body) and queues its part header.
void TSmtpCli::startAttachment()
{
    const std::string path = EmailFiles[m_fileIndex];
    m_file.open(path, std::ios::binary);
    if (!m_file.is_open())
        throw SmtpException("Cannot open '" + path + "'");
    std::string fileName = baseName(path);
    std::string contentType = "application/octet-stream";
    const int fileNumber = static_cast<int>(m_fileIndex);
    engine().fire(OnAttachContentType, *this, fileNumber, fileName, contentType);
    const auto parameterCharset = [&](const std::string& value) { return isUtf8(value) ? "utf-8" : CharSet; };
    const std::string fileNameOnly = baseName(path);
    std::vector<std::string> header = { "--" + m_boundary,
        "Content-Type: " + contentType + ";",
        "\t" + mimeParameter("name", fileName, parameterCharset(fileName)),
        "Content-Transfer-Encoding: base64",
        "Content-Disposition: attachment;",
        "\t" + mimeParameter("filename", fileNameOnly, parameterCharset(fileNameOnly)) };
    engine().fire(OnAttachHeader, *this, fileNumber, fileName, header);
    header.emplace_back();
    for (auto& line : header)
        m_bodyLines.push_back({ std::move(line), false });
    m_encoding = true;
}

std::string TSmtpCli::nextBase64Line()
{
    char chunk[kBytesPerLine];
    m_file.read(chunk, kBytesPerLine);
    const auto count = static_cast<std::size_t>(m_file.gcount());
    // End of file reached with this line: a file of exactly 45 bytes gives one full line.
    if (m_file.peek() == std::char_traits<char>::eof()) {
        m_file.close();
        m_encoding = false;
        if (++m_fileIndex >= EmailFiles.size()) {
            m_bodyLines.push_back({ "", false });
            m_bodyLines.push_back({ "--" + m_boundary + "--", false });
        }
    }
    return base64Encode(std::string_view(chunk, count));
}

} // namespace net
