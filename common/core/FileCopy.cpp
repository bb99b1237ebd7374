#include "FileCopy.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace core {

namespace {

class Fd
{
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

// copy_file_range first (reflinks and in-kernel copies), sendfile where the file systems refuse
// it. Copies the size measured when the file was opened: a file that grows meanwhile differs in
// size from its copy and is taken again by the next run. Steps of 64 MiB: smaller ones cost
// throughput on a share (8 MiB was a tenth slower onto a FUSE share), and a copy is still given
// up or its progress shown within a moment.
constexpr off_t ProgressStep = off_t(64) << 20;

int copyBytes(int in, int out, off_t size, const CopyProgress& progress)
{
    off_t done = 0;
    bool fast = true;
    while (done < size) {
        const size_t chunk = static_cast<size_t>(std::min<off_t>(size - done, ProgressStep));
        ssize_t n = -1;
        if (fast) {
            n = copy_file_range(in, nullptr, out, nullptr, chunk, 0);
            if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                fast = false;
                continue;
            }
        } else {
            n = sendfile(out, in, nullptr, chunk);
        }
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            break; // the source shrank while we copied: take what is there
        done += n;
        if (progress && !progress(static_cast<uint64_t>(done)))
            return ECANCELED;
    }
    return 0;
}

constexpr const char* TemporaryPrefix = ".rpl~";

// FNV-1a: a short, stable digest for the temporary name of a file name too long to prefix.
uint64_t digest(const std::string& text)
{
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

} // namespace

bool keepsOwners()
{
    return geteuid() == 0;
}

int copyRegularFile(const std::string& source, const std::string& target, const CopyProgress& progress)
{
    Fd in(open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (in.get() < 0)
        return errno;
    struct stat st{};
    if (fstat(in.get(), &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return EINVAL;
    Fd out(open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0)
        return errno;
    int error = copyBytes(in.get(), out.get(), st.st_size, progress);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    // The owner first: a change of owner clears the set-user-id and set-group-id bits. Most
    // copies are born with the right owner already, and a look is cheaper than a change.
    if (!error && keepsOwners()) {
        struct stat made{};
        if (fstat(out.get(), &made) != 0)
            error = errno;
        else if ((made.st_uid != st.st_uid || made.st_gid != st.st_gid) && fchown(out.get(), st.st_uid, st.st_gid) != 0)
            error = errno;
    }
    if (!error && fchmod(out.get(), st.st_mode & 07777) != 0)
        error = errno;
    if (!error && futimens(out.get(), times) != 0)
        error = errno;
    if (::close(out.release()) != 0 && !error)
        error = errno;
    if (error)
        unlink(target.c_str());
    return error;
}

int copySymlink(const std::string& source, const std::string& target)
{
    std::string text(PATH_MAX, '\0');
    const ssize_t n = readlink(source.c_str(), text.data(), text.size());
    if (n < 0)
        return errno;
    text.resize(static_cast<size_t>(n));
    if (symlink(text.c_str(), target.c_str()) != 0)
        return errno;
    struct stat st{};
    if (lstat(source.c_str(), &st) == 0) {
        if (keepsOwners() && lchown(target.c_str(), st.st_uid, st.st_gid) != 0) {
            const int error = errno;
            unlink(target.c_str());
            return error;
        }
        const timespec times[2] = {st.st_atim, st.st_mtim};
        utimensat(AT_FDCWD, target.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
    return 0;
}

int carryFolderAttributes(const struct stat& source,
                          const struct stat& current,
                          const std::string& target,
                          bool followLink)
{
    const bool ownerDiffers
        = keepsOwners() && (source.st_uid != current.st_uid || source.st_gid != current.st_gid);
    if (ownerDiffers && fchownat(AT_FDCWD,
                                 target.c_str(),
                                 source.st_uid,
                                 source.st_gid,
                                 followLink ? 0 : AT_SYMLINK_NOFOLLOW)
                            != 0)
        return errno;
    // A change of owner may clear set-id bits, so the mode is set again after one.
    if ((ownerDiffers || (source.st_mode & 07777) != (current.st_mode & 07777))
        && fchmodat(AT_FDCWD, target.c_str(), source.st_mode & 07777, 0) != 0)
        return errno;
    return 0;
}

int renameNoReplace(const std::string& from, const std::string& target)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // File systems without the flag (network shares): check, then rename.
    struct stat st{};
    if (lstat(target.c_str(), &st) == 0)
        return EEXIST;
    return rename(from.c_str(), target.c_str()) == 0 ? 0 : errno;
}

int renameToFreeName(const std::string& from, const std::string& wanted, std::string& claimed)
{
    const auto slash = wanted.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    auto dot = wanted.find_last_of('.');
    if (dot == std::string::npos || dot <= nameStart)
        dot = wanted.size();
    claimed = wanted;
    for (int n = 2; n < 100000; ++n) {
        const int error = renameNoReplace(from, claimed);
        if (error != EEXIST && error != ENOTEMPTY)
            return error;
        claimed = wanted.substr(0, dot) + " (" + std::to_string(n) + ")" + wanted.substr(dot);
    }
    return EEXIST;
}

std::string temporarySibling(const std::string& target)
{
    const auto slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp = TemporaryPrefix + name;
    if (temp.size() > NAME_MAX) {
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(digest(name)));
        temp = TemporaryPrefix + std::string(hex) + "~" + name.substr(name.size() - 64);
    }
    return folder + temp;
}

bool isTemporaryName(const std::string& name)
{
    return name.rfind(TemporaryPrefix, 0) == 0;
}

} // namespace core
