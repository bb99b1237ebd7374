#pragma once

// TSmtpCli: the SMTP client with a message body from MailMessage and files from EmailFiles
// attached as a MIME multipart message (RFC 2045/2046), each file base64-encoded in lines of
// 60 characters. Without files the body lines follow the header directly.
//
// Text of plain ASCII goes out as it is, declared with CharSet (and "7bit" in a multipart
// message). Text with any byte above 127 is declared "utf-8" (or CharSet when it is not valid
// UTF-8) and sent quoted-printable, so the wire stays 7-bit and a reader gets the very bytes
// back; lines from OnGetData follow the choice made for MailMessage. A file name with such
// bytes is an RFC 2231 parameter. With OwnHeaders the body is the caller's and goes unchanged.

#include "CustomSmtpClient.h"

#include <deque>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace net {

class TSmtpCli : public TCustomSmtpClient
{
public:
    using TSmtpAttachmentContentType
        = std::function<void(TSmtpCli& sender, int fileNumber, std::string& fileName, std::string& contentType)>;
    using TSmtpAttachHeader = std::function<void(
        TSmtpCli& sender, int fileNumber, const std::string& fileName, std::vector<std::string>& header)>;

    TSmtpCli();
    ~TSmtpCli() override;

    // Body lines of the text part.
    std::vector<std::string> MailMessage;
    void SetMailMessageText(const std::string& text);

    // Files to attach. Filled directly, nothing is checked (a file that cannot be opened ends
    // the body there); SetEmailFiles trims every entry, skips empty ones and raises
    // "File not found '<name>'" for a missing file, leaving the list unchanged.
    std::vector<std::string> EmailFiles;
    void SetEmailFiles(const std::vector<std::string>& files);
    void SetEmailFilesText(const std::string& text);

    TSmtpAttachmentContentType OnAttachContentType;
    TSmtpAttachHeader OnAttachHeader;

protected:
    void prepareBody() override;
    void headerLineHook(std::string& line) override;
    bool fetchBodyLine(int lineNumber, std::string& line, int maxLength) override;

private:
    // A line queued for the body: text of the message (encoded as chosen) or MIME structure.
    struct BodyLine
    {
        std::string text;
        bool isText;
    };

    void queueText(std::string text);
    void startAttachment();
    std::string nextBase64Line();

    std::deque<BodyLine> m_bodyLines;
    std::string m_boundary;
    std::string m_textCharset;
    bool m_quotedPrintable = false;
    std::size_t m_fileIndex = 0;
    int m_getDataCount = 0;
    bool m_askGetData = true;
    bool m_encoding = false;
    std::ifstream m_file;
};

} // namespace net
