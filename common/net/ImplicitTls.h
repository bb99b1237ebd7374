#pragma once

// A client on ControlConnection that speaks TLS from the first byte (HTTPS, FTPS, POP3S, IMAPS),
// with the name its certificate must bear and the SNI given by the caller: a monitor checks the
// name the user typed, while it connects to the address.

#include "Tls.h"

namespace net {

template <class Client> class ImplicitTls : public Client
{
public:
    // Every later connection speaks TLS with these settings.
    void SetImplicitTls(const TlsSettings& settings) { this->setTls(TlsMode::Implicit, settings); }
};

} // namespace net
