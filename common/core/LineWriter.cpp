#include "LineWriter.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace core {

namespace {

int writeToFile(const std::string& path, int flags, const std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0644);
    if (fd < 0)
        return errno;
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

} // namespace

int appendLine(const std::string& path, const std::string& text, WriteMode mode)
{
    return writeToFile(path, mode == WriteMode::Truncate ? O_TRUNC : O_APPEND, text + "\r\n");
}

int writeWholeFile(const std::string& path, const std::string& bytes)
{
    return writeToFile(path, O_TRUNC, bytes);
}

} // namespace core
