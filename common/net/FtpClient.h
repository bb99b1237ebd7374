#pragma once

// TFtpClient: blocking wrappers over TCustomFtpCli (see SyncClient). The time-out bounds the
// whole operation, however slowly a server trickles its lines.

#include "CustomFtpCli.h"
#include "SyncClient.h"

namespace net {

class TFtpClient : public SyncClient<TCustomFtpCli>
{
public:
    // Connects and reads the greeting: true on 220.
    bool SyncOpen() { return synchronize(&TCustomFtpCli::Open); }
    // QUIT: true when it was answered with 221.
    bool SyncQuit() { return synchronize(&TCustomFtpCli::Quit); }
};

} // namespace net
