#include "common/core/FileClaim.h"

#include "common/core/RegularFile.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace core {

struct FileClaim::Slot
{
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;
};

// Every claim of the process, for carryOver.
struct FileClaim::Registry
{
    std::mutex mutex;
    std::vector<std::weak_ptr<Slot>> slots;
};

FileClaim::Registry& FileClaim::registry()
{
    static Registry claims;
    return claims;
}

namespace {

struct flock claimRange(short type)
{
    struct flock range
    {
    };
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = ClaimByte;
    range.l_len = 1;
    return range;
}

bool lockClaim(int fd)
{
    struct flock range = claimRange(F_RDLCK);
    return ::fcntl(fd, F_OFD_SETLK, &range) == 0;
}

} // namespace

FileClaim::FileClaim() = default;

FileClaim::~FileClaim()
{
    release();
}

FileClaim::Result FileClaim::claim(const std::string& path)
{
    release();
    const int fd = openRegularFile(path, O_RDONLY);
    if (fd < 0)
        return Result::Unclaimable;
    // Two claimants share the byte; each then sees the other's lock as one a writer would meet.
    struct flock others = claimRange(F_WRLCK);
    struct stat st
    {
    };
    if (!lockClaim(fd) || ::fcntl(fd, F_OFD_GETLK, &others) != 0 || ::fstat(fd, &st) != 0) {
        ::close(fd);
        return Result::Unclaimable;
    }
    if (others.l_type != F_UNLCK) {
        ::close(fd);
        return Result::Taken;
    }
    m_slot = std::make_shared<Slot>(Slot { fd, st.st_dev, st.st_ino });
    Registry& claims = registry();
    std::lock_guard lock(claims.mutex);
    std::erase_if(claims.slots, [](const auto& slot) { return slot.expired(); });
    claims.slots.push_back(m_slot);
    return Result::Claimed;
}

void FileClaim::release()
{
    if (!m_slot)
        return;
    std::lock_guard lock(registry().mutex);
    ::close(m_slot->fd);
    m_slot.reset();
}

void FileClaim::carryOver(const struct stat& old, int replacement)
{
    Registry& claims = registry();
    std::lock_guard lock(claims.mutex);
    for (const auto& weak : claims.slots) {
        const auto slot = weak.lock();
        if (!slot || slot->device != old.st_dev || slot->inode != old.st_ino)
            continue;
        struct stat st
        {
        };
        const int fd = ::fcntl(replacement, F_DUPFD_CLOEXEC, 0);
        if (fd < 0)
            continue;
        // A descriptor of its own: the claim outlives the writer's.
        if (!lockClaim(fd) || ::fstat(fd, &st) != 0) {
            ::close(fd);
            continue;
        }
        ::close(slot->fd);
        *slot = Slot { fd, st.st_dev, st.st_ino };
    }
}

} // namespace core
