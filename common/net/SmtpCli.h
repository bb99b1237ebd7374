#pragma once

// TSmtpCli: the SMTP client with a message body from MailMessage and files from EmailFiles
// attached as a MIME multipart message (RFC 2045/2046), each file base64-encoded in lines of
// 60 characters. Without files the body lines follow the header directly.

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
    void startAttachment();
    std::string nextBase64Line();

    std::deque<std::string> m_bodyLines;
    std::string m_boundary;
    std::size_t m_fileIndex = 0;
    int m_getDataCount = 0;
    bool m_askGetData = true;
    bool m_encoding = false;
    std::ifstream m_file;
};

} // namespace net
