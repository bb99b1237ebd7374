#include "MountTable.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace core {

namespace {

// mountinfo writes blanks, tabs, line breaks and backslashes in paths as octal escapes.
std::string unescape(std::string_view field)
{
    const auto octal = [&](size_t k) { return field[k] >= '0' && field[k] <= '7'; };
    std::string text;
    text.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

std::vector<std::string_view> fields(std::string_view line)
{
    std::vector<std::string_view> parts;
    size_t at = 0;
    while (at < line.size()) {
        const size_t end = line.find(' ', at);
        const size_t stop = end == std::string_view::npos ? line.size() : end;
        if (stop > at)
            parts.push_back(line.substr(at, stop - at));
        at = stop + 1;
    }
    return parts;
}

std::optional<MountEntry> parseLine(std::string_view line)
{
    // id parent major:minor root mount-point options [optional fields...] - type source super-options
    const auto parts = fields(line);
    if (parts.size() < 7)
        return std::nullopt;
    MountEntry entry;
    try {
        entry.id = std::stoi(std::string(parts[0]));
        entry.parentId = std::stoi(std::string(parts[1]));
        const std::string device(parts[2]);
        const size_t colon = device.find(':');
        if (colon == std::string::npos)
            return std::nullopt;
        entry.major = static_cast<unsigned>(std::stoul(device.substr(0, colon)));
        entry.minor = static_cast<unsigned>(std::stoul(device.substr(colon + 1)));
    } catch (const std::exception&) {
        return std::nullopt;
    }
    entry.root = unescape(parts[3]);
    entry.mountPoint = unescape(parts[4]);
    if (entry.root.empty() || entry.root[0] != '/' || entry.mountPoint.empty() || entry.mountPoint[0] != '/')
        return std::nullopt;
    for (size_t i = 6; i + 1 < parts.size(); ++i) {
        if (parts[i] == "-") {
            entry.fsType = std::string(parts[i + 1]);
            break;
        }
    }
    return entry;
}

std::string parentOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

// `path` below `outer` (which holds it), as a relative path; "" for `outer` itself.
std::string remainder(const std::string& path, const std::string& outer)
{
    if (path.size() <= outer.size())
        return "";
    return path.substr(outer == "/" ? 1 : outer.size() + 1);
}

std::string joined(const std::string& folder, const std::string& rest)
{
    if (rest.empty())
        return folder;
    return folder == "/" ? "/" + rest : folder + "/" + rest;
}

} // namespace

bool pathWithin(const std::string& inner, const std::string& outer)
{
    if (outer == "/")
        return !inner.empty() && inner[0] == '/';
    if (inner.compare(0, outer.size(), outer) != 0)
        return false;
    return inner.size() == outer.size() || inner[outer.size()] == '/';
}

int mountIdOf(const std::string& path)
{
    struct statx st
    {
    };
    if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_MNT_ID, &st) != 0)
        return -1;
    if (!(st.stx_mask & STATX_MNT_ID)) { // kernels before 5.8
        errno = ENOTSUP;
        return -1;
    }
    return static_cast<int>(st.stx_mnt_id);
}

MountTable MountTable::current()
{
    std::ifstream in("/proc/self/mountinfo");
    std::ostringstream text;
    text << in.rdbuf();
    MountTable table = parse(text.str());
    table.m_current = true;
    return table;
}

MountTable MountTable::parse(std::string_view mountinfo)
{
    MountTable table;
    size_t at = 0;
    while (at < mountinfo.size()) {
        const size_t end = mountinfo.find('\n', at);
        const size_t stop = end == std::string_view::npos ? mountinfo.size() : end;
        if (auto entry = parseLine(mountinfo.substr(at, stop - at)))
            table.m_entries.push_back(std::move(*entry));
        at = stop + 1;
    }
    return table;
}

const MountEntry* MountTable::byId(int id) const
{
    for (const MountEntry& entry : m_entries)
        if (entry.id == id)
            return &entry;
    return nullptr;
}

// Of mounts stacked on one mount point the last listed is the one on top.
const MountEntry* MountTable::byLongestPrefix(const std::string& realPath) const
{
    const MountEntry* best = nullptr;
    for (const MountEntry& entry : m_entries)
        if (pathWithin(realPath, entry.mountPoint) && (!best || entry.mountPoint.size() >= best->mountPoint.size()))
            best = &entry;
    return best;
}

const MountEntry* MountTable::mountOf(const std::string& realPath) const
{
    if (m_entries.empty())
        return nullptr;
    if (!m_current)
        return byLongestPrefix(realPath);
    // A path that does not exist yet lies on the mount of its nearest existing folder.
    std::string probe = realPath;
    int id = mountIdOf(probe);
    while (id < 0 && errno == ENOENT && probe != "/") {
        probe = parentOf(probe);
        id = mountIdOf(probe);
    }
    const MountEntry* entry = id >= 0 ? byId(id) : nullptr;
    if (entry && pathWithin(realPath, entry->mountPoint))
        return entry;
    return byLongestPrefix(realPath);
}

std::vector<const MountEntry*> MountTable::mountsBelow(const std::string& realPath) const
{
    std::vector<const MountEntry*> below;
    for (const MountEntry& entry : m_entries)
        if (entry.mountPoint != realPath && pathWithin(entry.mountPoint, realPath))
            below.push_back(&entry);
    return below;
}

std::optional<FileSystemPlace> MountTable::placeOf(const std::string& realPath) const
{
    const MountEntry* mount = mountOf(realPath);
    if (!mount)
        return std::nullopt;
    return FileSystemPlace { mount->major, mount->minor, joined(mount->root, remainder(realPath, mount->mountPoint)) };
}

} // namespace core
