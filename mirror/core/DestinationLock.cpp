#include "DestinationLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace mirror {

DestinationLock::~DestinationLock()
{
    release();
}

DestinationLock::Outcome DestinationLock::take(const std::string& path)
{
    release();
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return Outcome::Unlockable;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        m_fd = fd;
        return Outcome::Held;
    }
    const int error = errno;
    close(fd);
    return error == EWOULDBLOCK ? Outcome::Busy : Outcome::Unlockable;
}

void DestinationLock::release()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

} // namespace mirror
