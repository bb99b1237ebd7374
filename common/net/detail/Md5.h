#pragma once

// MD5 (RFC 1321) and HMAC-MD5 (RFC 2104) as lower-case hex text, for SMTP CRAM-MD5.

#include <string>

namespace net {

std::string md5Hex(const std::string& data);
// Keys longer than the 64-byte block are hashed first, as RFC 2104 says.
std::string hmacMd5Hex(const std::string& key, const std::string& data);

} // namespace net
