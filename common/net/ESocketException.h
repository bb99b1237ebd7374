#pragma once

// The socket layer's exception: carries one of its fixed English texts.

#include <stdexcept>
#include <string>

namespace net {

class ESocketException : public std::runtime_error
{
public:
    explicit ESocketException(const std::string& message)
        : std::runtime_error(message)
    {
    }
};

} // namespace net
