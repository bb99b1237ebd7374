#include "common/core/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace core {

std::string fileErrorText(int error)
{
    return error == NotRegularFile ? std::string("not a regular file") : std::string(std::strerror(error));
}

int regularFileError(const std::string& path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? 0 : errno;
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    return S_ISREG(st.st_mode) ? 0 : NotRegularFile;
}

int openRegularFile(const std::string& path, int flags, mode_t mode)
{
    if (const int error = regularFileError(path); error == EISDIR || error == NotRegularFile)
        return -error;
    struct stat st
    {
    };
    // The look above and the open below are two steps: O_NONBLOCK keeps a FIFO put there
    // meanwhile from holding the open, and the check after it refuses it all the same.
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, mode);
    if (fd < 0)
        return -errno;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -NotRegularFile;
    }
    // Only the open had to be kept from blocking; the file is written as any other.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

int readRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes)
{
    bytes.clear();
    const int fd = openRegularFile(path, O_RDONLY);
    if (fd < 0)
        return -fd;
    int error = 0;
    char buffer[16384];
    while (error == 0) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : 0;
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (bytes.size() > maxBytes)
            error = EFBIG;
    }
    ::close(fd);
    return error;
}

} // namespace core
