#include "Trash.h"

#include "common/core/FileCopy.h"
#include "common/core/MountTable.h"

#include <QByteArray>
#include <QDateTime>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace core {

namespace {

std::string parentOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string absolutePath(const std::string& path)
{
    if (!path.empty() && path.front() == '/')
        return path;
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd))
        return path;
    return std::string(cwd) + "/" + path;
}

bool makeDirs(const std::string& path, mode_t mode)
{
    struct stat st
    {
    };
    if (lstat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const std::string parent = parentOf(path);
    if (parent != path && !makeDirs(parent, mode))
        return false;
    return mkdir(path.c_str(), mode) == 0 || errno == EEXIST;
}

// A trash folder we may use: a real folder (not a link) owned by us, with files/ and info/.
bool prepareTrash(const std::string& trash)
{
    if (!makeDirs(trash, 0700))
        return false;
    struct stat st
    {
    };
    if (lstat(trash.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid())
        return false;
    return makeDirs(trash + "/files", 0700) && makeDirs(trash + "/info", 0700);
}

// Without a mount table: the highest folder above `path` on the same device.
std::string topByDevice(const std::string& path, dev_t device)
{
    std::string top = path;
    while (top != "/") {
        const std::string parent = parentOf(top);
        struct stat st
        {
        };
        if (lstat(parent.c_str(), &st) != 0 || st.st_dev != device)
            break;
        top = parent;
    }
    return top;
}

// The top folder ($topdir) of the mount that holds the real folder `folder`.
std::string topFolderOf(const std::string& folder, const MountTable& mounts, dev_t device)
{
    if (const MountEntry* mount = mounts.mountOf(folder))
        return mount->mountPoint;
    return topByDevice(folder, device);
}

// Whether two real folders lie on one mount, so that a rename between them can work. A bind
// mount shares the device of the folder it shows, yet a rename across it fails.
bool sameMount(const std::string& a, const std::string& b)
{
    const int idA = mountIdOf(a);
    const int idB = mountIdOf(b);
    if (idA >= 0 && idB >= 0)
        return idA == idB;
    struct stat stA
    {
    };
    struct stat stB
    {
    };
    return stat(a.c_str(), &stA) == 0 && stat(b.c_str(), &stB) == 0 && stA.st_dev == stB.st_dev;
}

std::string realFolder(const std::string& path)
{
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved)
        return {};
    std::string real(resolved);
    free(resolved);
    return real;
}

// $topdir/.Trash/$uid when the administrator set up a shared trash, else $topdir/.Trash-$uid.
std::string topDirTrash(const std::string& top)
{
    const std::string base = top == "/" ? "" : top;
    const std::string uid = std::to_string(geteuid());
    struct stat st
    {
    };
    const std::string shared = base + "/.Trash";
    if (lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        const std::string mine = shared + "/" + uid;
        if (prepareTrash(mine))
            return mine;
    }
    const std::string own = base + "/.Trash-" + uid;
    return prepareTrash(own) ? own : std::string();
}

std::string trashInfo(const std::string& storedPath)
{
    const QByteArray encoded = QByteArray::fromStdString(storedPath).toPercentEncoding("/");
    const QString date = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    return "[Trash Info]\nPath=" + encoded.toStdString() + "\nDeletionDate=" + date.toStdString() + "\n";
}

// Claims a free name by creating its .trashinfo exclusively, as the freedesktop.org Trash specification requires.
bool claimInfo(const std::string& trash, const std::string& name, const std::string& info, std::string& claimed)
{
    for (int n = 1; n < 10000; ++n) {
        claimed = n == 1 ? name : name + "." + std::to_string(n);
        const std::string infoPath = trash + "/info/" + claimed + ".trashinfo";
        const int fd = open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        struct stat st
        {
        };
        const bool clashes = lstat((trash + "/files/" + claimed).c_str(), &st) == 0;
        const bool written = !clashes && write(fd, info.data(), info.size()) == static_cast<ssize_t>(info.size());
        const int savedErrno = errno;
        close(fd);
        if (written)
            return true;
        unlink(infoPath.c_str());
        if (!clashes) {
            errno = savedErrno;
            return false;
        }
    }
    errno = EEXIST;
    return false;
}

} // namespace

std::string homeTrashPath()
{
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && *dataHome == '/')
        return std::string(dataHome) + "/Trash";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/") + "/.local/share/Trash";
}

TrashResult moveToTrash(const std::string& givenPath)
{
    TrashResult result;
    // The item by its real path: its folder with every link resolved, its own name kept, so a
    // link is trashed as a link and the trash of the mount it really lives on is found.
    const std::string absolute = absolutePath(givenPath);
    const std::string name = baseName(absolute);
    if (name.empty() || name == "." || name == "..") {
        result.error = EINVAL;
        return result;
    }
    const std::string folder = realFolder(parentOf(absolute));
    if (folder.empty()) {
        result.error = errno;
        return result;
    }
    const std::string path = (folder == "/" ? "" : folder) + "/" + name;
    struct stat item
    {
    };
    if (lstat(path.c_str(), &item) != 0) {
        result.error = errno;
        return result;
    }

    std::string trash;
    std::string storedPath = path;
    // Create the data folder first: the home trash must exist before its mount can be compared.
    const std::string dataHome = parentOf(homeTrashPath());
    const std::string realDataHome = makeDirs(dataHome, 0700) ? realFolder(dataHome) : std::string();
    if (!realDataHome.empty() && sameMount(realDataHome, folder) && prepareTrash(realDataHome + "/Trash")) {
        trash = realDataHome + "/Trash";
    } else {
        const std::string top = topFolderOf(folder, MountTable::current(), item.st_dev);
        trash = topDirTrash(top);
        // Relative to the top folder where the item lies below it, else absolute.
        if (top == "/")
            storedPath = path.substr(1);
        else if (pathWithin(path, top) && path.size() > top.size())
            storedPath = path.substr(top.size() + 1);
    }
    if (trash.empty()) {
        result.outcome = TrashResult::Outcome::NoTrash;
        return result;
    }

    std::string claimed;
    if (!claimInfo(trash, name, trashInfo(storedPath), claimed)) {
        result.error = errno;
        return result;
    }
    const std::string infoPath = trash + "/info/" + claimed + ".trashinfo";
    const std::string target = trash + "/files/" + claimed;
    if (const int error = renameNoReplace(path, target)) {
        result.error = error;
        unlink(infoPath.c_str());
        // A trash on another mount cannot take the item by renaming it.
        if (result.error == EXDEV)
            result.outcome = TrashResult::Outcome::NoTrash;
        return result;
    }
    result.outcome = TrashResult::Outcome::Trashed;
    result.trashedPath = target;
    result.infoPath = infoPath;
    return result;
}

} // namespace core
