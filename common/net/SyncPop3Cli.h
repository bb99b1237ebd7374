#pragma once

// TSyncPop3Cli: blocking wrappers over TCustomPop3Cli (see SyncClient). Each reply line
// received restarts the time-out.

#include "CustomPop3Cli.h"
#include "SyncClient.h"

namespace net {

class TSyncPop3Cli : public SyncClient<TCustomPop3Cli>
{
public:
    // Connects and reads the greeting: true when it began with "+".
    bool SyncConnect() { return synchronize(&TCustomPop3Cli::Connect); }
    // QUIT: true when it was answered with "+" and the server then closed the connection; true
    // at once without a connection.
    bool SyncQuit() { return synchronize(&TCustomPop3Cli::Quit); }
};

} // namespace net
