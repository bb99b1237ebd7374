#pragma once

// The socket layer speaks in Winsock error numbers (10004 ... 11004) so that every client
// shows the same numbers and texts whatever the platform. errno values are mapped here.

#include <string>

namespace net {

// The fixed English text of a socket error number; "Not a WinSock error" for any other.
std::string winsockErrorText(int error);

// The socket error number for an errno value; 10022 (invalid argument) when there is none.
int winsockErrorFromErrno(int errnoValue);

// "Error N in function NAME" CR LF + the text of N: the socket layer's report of a failed call.
std::string winsockCallErrorText(int error, const std::string& callName);

} // namespace net
