#include "common/core/LockedFile.h"

#include "common/core/FileClaim.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <thread>
#include <unistd.h>

namespace core {

namespace {

constexpr int MaxOpenAttempts = 8;
// Not an errno value: the text goes into the file itself instead.
constexpr int WriteInPlace = -1;

// Locks the bytes before the claim byte; 0, or EWOULDBLOCK when others held them throughout
// LockWaitMs. Where the file system keeps no such locks the file is used without one.
int lockFile(int fd, short type)
{
    using namespace std::chrono;
    struct flock range
    {
    };
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = 0;
    range.l_len = ClaimByte;
    const auto deadline = steady_clock::now() + milliseconds(LockedFile::LockWaitMs);
    auto pause = milliseconds(1);
    for (;;) {
        if (::fcntl(fd, F_OFD_SETLK, &range) == 0)
            return 0;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EACCES)
            return 0;
        // Others hold it for the few milliseconds a read or a save takes.
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
        if (left <= milliseconds(0))
            return EWOULDBLOCK;
        std::this_thread::sleep_for(std::min(pause, left));
        pause = std::min(pause * 2, milliseconds(50));
    }
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

int writeAllAt(int fd, std::string_view bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += static_cast<size_t>(n);
    }
    return 0;
}

// A fresh hidden file ".name.XXXXXX" beside `target`, made with the umask like any new file.
int createScratch(const std::string& target, std::string& scratch)
{
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937_64 random { std::random_device {}() };
    const size_t slash = target.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::string prefix = target.substr(0, nameStart) + "." + target.substr(nameStart) + ".";
    for (int tries = 0; tries < 16; ++tries) {
        scratch = prefix;
        for (int i = 0; i < 6; ++i)
            scratch += Letters[random() % (sizeof Letters - 1)];
        // Read access too: a claim carried over to it is a read lock.
        const int fd = ::open(scratch.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

LockedFile::LockedFile(std::string path, Access access, Links links)
    : m_path(std::move(path))
    , m_access(access)
    , m_links(links)
{
    m_error = open();
}

LockedFile::~LockedFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

int LockedFile::open()
{
    const bool writing = m_access == Access::Write;
    const int flags = (writing ? O_RDWR : O_RDONLY) | (m_links == Links::Replace ? O_NOFOLLOW : 0);
    for (int attempt = 0; attempt < MaxOpenAttempts; ++attempt) {
        struct stat at
        {
        };
        const auto look = [&] {
            return m_links == Links::Replace ? ::lstat(m_path.c_str(), &at) : ::stat(m_path.c_str(), &at);
        };
        if (m_links == Links::Replace && look() == 0 && S_ISLNK(at.st_mode))
            return 0;
        const int fd = openRegularFile(m_path, flags);
        if (fd == -ENOENT || (fd == -ELOOP && m_links == Links::Replace))
            return 0;
        if (fd < 0)
            return -fd;
        if (::fstat(fd, &m_status) != 0) {
            const int error = errno;
            ::close(fd);
            return error;
        }
        // A file without any write bit is read-only, for root too.
        if (writing && (m_status.st_mode & 0222) == 0) {
            ::close(fd);
            return EACCES;
        }
        const int locked = lockFile(fd, writing ? F_WRLCK : F_RDLCK);
        if (locked != 0 && writing) {
            ::close(fd);
            return locked;
        }
        // A writer may have put another file in its place while this one waited for the lock.
        if (look() == 0 && sameFile(at, m_status)) {
            ::fstat(fd, &m_status);
            m_fd = fd;
            return 0;
        }
        ::close(fd);
    }
    return EAGAIN;
}

int LockedFile::read(std::string& text) const
{
    text.clear();
    if (m_fd < 0)
        return 0;
    char buffer[64 * 1024];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(m_fd, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return 0;
        text.append(buffer, static_cast<size_t>(n));
        at += n;
    }
}

int LockedFile::replace(std::string_view bytes, std::optional<mode_t> mode)
{
    if (m_access != Access::Write || m_error != 0)
        return m_error != 0 ? m_error : EBADF;
    m_mode = mode;
    if (!exists())
        return replaceBeside(m_path, bytes);
    // Another name of the file would keep the old text: such a file is written where it is.
    if (m_status.st_nlink > 1)
        return writeInPlace(bytes);
    std::string target = m_path;
    if (m_links == Links::Follow) {
        // Renamed over, a link would be replaced: the file goes beside the file it names.
        char* real = ::realpath(m_path.c_str(), nullptr);
        if (!real)
            return errno;
        target = real;
        std::free(real);
    }
    const int result = replaceBeside(target, bytes);
    return result == WriteInPlace ? writeInPlace(bytes) : result;
}

int LockedFile::replaceBeside(const std::string& target, std::string_view bytes)
{
    std::string scratch;
    int fd = createScratch(target, scratch);
    if (fd < 0) {
        // A folder we may not write in, beside a file we may: the file itself takes the text.
        return exists() && (errno == EACCES || errno == EPERM) ? WriteInPlace : errno;
    }
    const auto fail = [&](int error) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(scratch.c_str());
        return error;
    };
    struct stat made
    {
    };
    if (::fstat(fd, &made) != 0)
        return fail(errno);
    if (exists()) {
        // Only root may give a file away; anyone else keeps the owner by writing in place.
        if ((made.st_uid != m_status.st_uid || made.st_gid != m_status.st_gid)
            && ::fchown(fd, m_status.st_uid, m_status.st_gid) != 0)
            return fail(WriteInPlace);
        // After the owner: a change of owner clears the set-id bits.
        if (::fchmod(fd, m_mode.value_or(m_status.st_mode & 07777)) != 0)
            return fail(errno);
    } else if (m_mode && ::fchmod(fd, *m_mode) != 0) {
        return fail(errno);
    }
    if (const int error = writeAllAt(fd, bytes); error != 0)
        return fail(error);
    if (::fsync(fd) != 0)
        return fail(errno);
    if (exists())
        FileClaim::carryOver(m_status, fd);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0)
        return fail(errno);
    if (::rename(scratch.c_str(), target.c_str()) != 0) {
        const int error = errno;
        if (exists())
            FileClaim::carryOver(made, m_fd);
        return fail(error);
    }
    return 0;
}

int LockedFile::writeInPlace(std::string_view bytes)
{
    if (m_mode && ::fchmod(m_fd, *m_mode) != 0)
        return errno;
    const auto size = static_cast<off_t>(bytes.size());
    // Space reserved before the first byte changes: a full disk then leaves the old text whole.
    if (size > m_status.st_size && ::fallocate(m_fd, FALLOC_FL_KEEP_SIZE, 0, size) != 0
        && (errno == ENOSPC || errno == EDQUOT || errno == EFBIG))
        return errno;
    if (const int error = writeAllAt(m_fd, bytes); error != 0)
        return error;
    if (::ftruncate(m_fd, size) != 0 || ::fsync(m_fd) != 0)
        return errno;
    return 0;
}

int writeWholeFile(const std::string& path, std::string_view bytes)
{
    LockedFile file(path, LockedFile::Access::Write, LockedFile::Links::Replace);
    return file.error() != 0 ? file.error() : file.replace(bytes);
}

} // namespace core
