#include "LineWriter.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace core {

int appendLine(const std::string& path, const std::string& text, WriteMode mode)
{
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mode == WriteMode::Truncate ? O_TRUNC : O_APPEND);
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0)
        return errno;
    const std::string line = text + "\r\n";
    int error = 0;
    size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

} // namespace core
