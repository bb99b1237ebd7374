#pragma once

// TSyncSmtpCli: blocking wrappers over TSmtpCli (see SyncClient). During DATA the limit
// restarts with every line, so a long message is not cut by the time-out.

#include "SmtpCli.h"
#include "SyncClient.h"

namespace net {

class TSyncSmtpCli : public SyncClient<TSmtpCli>
{
public:
    bool SyncConnect() { return synchronize(&TCustomSmtpClient::Connect); }
    bool SyncHelo() { return synchronize(&TCustomSmtpClient::Helo); }
    bool SyncEhlo() { return synchronize(&TCustomSmtpClient::Ehlo); }
    bool SyncAuth() { return synchronize(&TCustomSmtpClient::Auth); }
    bool SyncVrfy() { return synchronize(&TCustomSmtpClient::Vrfy); }
    bool SyncMailFrom() { return synchronize(&TCustomSmtpClient::MailFrom); }
    bool SyncRcptTo() { return synchronize(&TCustomSmtpClient::RcptTo); }
    bool SyncData() { return synchronize(&TCustomSmtpClient::Data); }
    bool SyncQuit() { return synchronize(&TCustomSmtpClient::Quit); }
    bool SyncRset() { return synchronize(&TCustomSmtpClient::Rset); }
    bool SyncAbort() { return synchronize(&TCustomSmtpClient::Abort); }
    bool SyncOpen() { return synchronize(&TCustomSmtpClient::Open); }
    bool SyncMail() { return synchronize(&TCustomSmtpClient::Mail); }
};

} // namespace net
