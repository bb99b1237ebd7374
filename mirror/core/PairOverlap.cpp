#include "PairOverlap.h"

#include "common/core/MountTable.h"

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace mirror {

namespace {

using Identity = std::pair<dev_t, ino_t>;

std::string parentOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

// The real path of `path`, or of its nearest existing folder with the rest appended.
std::string realPathOf(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec).lexically_normal();
    std::string probe = absolute.string();
    while (probe.size() > 1 && probe.back() == '/')
        probe.pop_back();
    std::string rest;
    for (;;) {
        if (char* resolved = realpath(probe.c_str(), nullptr)) {
            std::string real(resolved);
            free(resolved);
            if (rest.empty())
                return real;
            return (real == "/" ? "" : real) + "/" + rest;
        }
        if (probe == "/")
            return absolute.string();
        const auto slash = probe.find_last_of('/');
        rest = probe.substr(slash + 1) + (rest.empty() ? "" : "/" + rest);
        probe = parentOf(probe);
    }
}

std::set<Identity> identitiesAlong(const std::string& realPath)
{
    std::set<Identity> chain;
    std::string at = realPath;
    for (;;) {
        struct stat st
        {
        };
        if (stat(at.c_str(), &st) == 0)
            chain.emplace(st.st_dev, st.st_ino);
        if (at == "/")
            return chain;
        at = parentOf(at);
    }
}

bool identityOf(const std::string& path, Identity& identity)
{
    struct stat st
    {
    };
    if (stat(path.c_str(), &st) != 0)
        return false;
    identity = { st.st_dev, st.st_ino };
    return true;
}

// Every file-system place whose contents show up below `realPath`.
std::vector<core::FileSystemPlace> placesBelow(const core::MountTable& mounts, const std::string& realPath)
{
    std::vector<core::FileSystemPlace> places;
    if (auto own = mounts.placeOf(realPath))
        places.push_back(std::move(*own));
    for (const core::MountEntry* mount : mounts.mountsBelow(realPath))
        places.push_back({ mount->major, mount->minor, mount->root });
    return places;
}

bool nested(const core::FileSystemPlace& a, const core::FileSystemPlace& b)
{
    return a.major == b.major && a.minor == b.minor
        && (core::pathWithin(a.path, b.path) || core::pathWithin(b.path, a.path));
}

bool overlaps(const std::string& source, const std::string& destination)
{
    const std::string a = realPathOf(source);
    const std::string b = realPathOf(destination);
    if (core::pathWithin(a, b) || core::pathWithin(b, a))
        return true;

    Identity identity;
    if (identityOf(a, identity) && identitiesAlong(b).count(identity))
        return true;
    if (identityOf(b, identity) && identitiesAlong(a).count(identity))
        return true;

    const core::MountTable mounts = core::MountTable::current();
    const auto placesA = placesBelow(mounts, a);
    const auto placesB = placesBelow(mounts, b);
    for (const auto& placeA : placesA)
        for (const auto& placeB : placesB)
            if (nested(placeA, placeB))
                return true;
    return false;
}

} // namespace

bool pairOverlaps(const std::string& source, const std::string& destination)
{
    try {
        return overlaps(source, destination);
    } catch (const std::exception&) {
        return true; // a pair that cannot be judged is not run
    }
}

} // namespace mirror
