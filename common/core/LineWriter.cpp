#include "LineWriter.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace core {

int appendLine(const std::string& path, const std::string& text, WriteMode mode)
{
    const int fd
        = openRegularFile(path, O_WRONLY | O_CREAT | (mode == WriteMode::Truncate ? O_TRUNC : O_APPEND), 0644);
    if (fd < 0)
        return -fd;
    const std::string bytes = text + "\r\n";
    int error = 0;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
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
