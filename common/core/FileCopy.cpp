#include "FileCopy.h"

#include <cerrno>
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
// size from its copy and is taken again by the next run.
constexpr off_t ProgressStep = off_t(64) << 20;

int copyBytes(int in, int out, off_t size, const std::function<void()>& progress)
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
        if (progress && done < size)
            progress();
    }
    return 0;
}

} // namespace

int copyRegularFile(const std::string& source, const std::string& target, const std::function<void()>& progress)
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
        const timespec times[2] = {st.st_atim, st.st_mtim};
        utimensat(AT_FDCWD, target.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
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

std::string temporarySibling(const std::string& target)
{
    const auto slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp = ".rpl~" + name;
    if (temp.size() > NAME_MAX)
        temp = ".rpl~" + std::to_string(getpid()) + "~" + name.substr(name.size() - 64);
    return folder + temp;
}

} // namespace core
