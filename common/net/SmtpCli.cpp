#include "SmtpCli.h"

#include "SmtpCodecs.h"
#include "WSocketResolve.h"

#include <QDateTime>

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
    MailMessage = smtpSplitLines(text);
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
    SetEmailFiles(smtpSplitLines(text));
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
    if (!EmailFiles.empty()) {
        m_boundary = smtpMultipartBoundary(QDateTime::currentDateTime());
        m_bodyLines = { "This is a multipart MIME message.",
            "",
            "--" + m_boundary,
            "Content-Type: " + mediaType() + "; charset=\"" + CharSet + "\"",
            "Content-Transfer-Encoding: 7bit",
            "" };
    }
    m_bodyLines.insert(m_bodyLines.end(), MailMessage.begin(), MailMessage.end());
}

void TSmtpCli::headerLineHook(std::string& line)
{
    if (!m_boundary.empty() && startsWithNoCase(line, "CONTENT-TYPE:"))
        line = "Content-Type: multipart/mixed;\r\n\tboundary=\"" + m_boundary + "\"";
}

bool TSmtpCli::fetchBodyLine(int lineNumber, std::string& line, int maxLength)
{
    (void)lineNumber;
    if (!m_bodyLines.empty()) {
        line = m_bodyLines.front().substr(0, static_cast<std::size_t>(maxLength));
        m_bodyLines.pop_front();
        return true;
    }
    if (m_askGetData) {
        bool more = true;
        if (OnGetData) {
            line.clear();
            OnGetData(*this, ++m_getDataCount, line, maxLength, more);
        }
        if (OnGetData && more)
            return true;
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
    if (OnAttachContentType)
        OnAttachContentType(*this, fileNumber, fileName, contentType);
    std::vector<std::string> header = { "--" + m_boundary,
        "Content-Type: " + contentType + ";",
        "\tname=\"" + fileName + "\"",
        "Content-Transfer-Encoding: base64",
        "Content-Disposition: attachment;",
        "\tfilename=\"" + baseName(path) + "\"" };
    if (OnAttachHeader)
        OnAttachHeader(*this, fileNumber, fileName, header);
    header.emplace_back();
    m_bodyLines.insert(m_bodyLines.end(), header.begin(), header.end());
    m_encoding = true;
}

std::string TSmtpCli::nextBase64Line()
{
    char chunk[kBytesPerLine];
    m_file.read(chunk, kBytesPerLine);
    const std::string bytes(chunk, static_cast<std::size_t>(m_file.gcount()));
    // End of file reached with this line: a file of exactly 45 bytes gives one full line.
    if (m_file.peek() == std::char_traits<char>::eof()) {
        m_file.close();
        m_encoding = false;
        if (++m_fileIndex >= EmailFiles.size()) {
            m_bodyLines.emplace_back();
            m_bodyLines.push_back("--" + m_boundary + "--");
        }
    }
    return base64Encode(bytes);
}

} // namespace net
