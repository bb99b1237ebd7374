#pragma once

// TSyncImapCli: blocking wrappers over TCustomImapCli (see SyncClient). The time-out bounds the
// whole operation, however slowly a server trickles its lines.

#include "CustomImapCli.h"
#include "SyncClient.h"

namespace net {

class TSyncImapCli : public SyncClient<TCustomImapCli>
{
public:
    // Connects and reads the greeting: true on "* OK" or "* PREAUTH".
    bool SyncConnect() { return synchronize(&TCustomImapCli::Connect); }
    // LOGOUT: true when "* BYE" and then the tagged OK came; true at once without a connection.
    bool SyncLogout() { return synchronize(&TCustomImapCli::Logout); }
};

} // namespace net
