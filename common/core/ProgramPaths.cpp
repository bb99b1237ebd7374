#include "ProgramPaths.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace core {

namespace {

std::string absoluteOrEmpty(const char* value)
{
    return value && value[0] == '/' ? std::string(value) : std::string();
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string fileNameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isUnder(const std::string& path, const std::string& top)
{
    return path == top
        || (path.size() > top.size() && path.compare(0, top.size(), top) == 0 && path[top.size()] == '/');
}

bool isSystemProgramFolder(const std::string& folder)
{
    for (const char* top : { "/usr", "/bin", "/sbin" }) {
        if (isUnder(folder, top))
            return true;
    }
    return false;
}

// "<base>/<name>/<name><extension>" for the program's name without its extension.
std::string inUserFolder(const std::string& base, const std::string& programPath, const std::string& extension)
{
    const std::string name = withExtension(fileNameOf(programPath), "");
    return base + "/" + name + "/" + name + extension;
}

// Makes the folders above `path` that are missing, each with mode 0700.
void makeParent(const std::string& path)
{
    const std::string parent = folderOf(path);
    for (size_t slash = parent.find('/', 1);; slash = parent.find('/', slash + 1)) {
        const std::string folder = parent.substr(0, slash);
        ::mkdir(folder.c_str(), 0700); // EEXIST for those already there
        if (slash == std::string::npos)
            break;
    }
}

} // namespace

std::string withExtension(const std::string& path, const std::string& extension)
{
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= nameStart)
        return path + extension;
    return path.substr(0, dot) + extension;
}

UserFolders UserFolders::fromEnvironment()
{
    UserFolders user;
    user.xdgConfigHome = absoluteOrEmpty(std::getenv("XDG_CONFIG_HOME"));
    user.xdgStateHome = absoluteOrEmpty(std::getenv("XDG_STATE_HOME"));
    user.home = absoluteOrEmpty(std::getenv("HOME"));
    if (user.home.empty()) {
        // A service started without HOME still has a home folder of its own.
        if (const passwd* entry = ::getpwuid(::getuid()))
            user.home = absoluteOrEmpty(entry->pw_dir);
    }
    return user;
}

std::string UserFolders::configHome() const
{
    if (xdgConfigHome.starts_with('/'))
        return xdgConfigHome;
    return home.starts_with('/') ? home + "/.config" : std::string();
}

std::string UserFolders::stateHome() const
{
    if (xdgStateHome.starts_with('/'))
        return xdgStateHome;
    return home.starts_with('/') ? home + "/.local/state" : std::string();
}

ProgramFolder programFolderOf(const std::string& programPath)
{
    const std::string folder = folderOf(programPath);
    if (::access(folder.c_str(), W_OK) != 0)
        return ProgramFolder::Foreign;
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(folder, error);
    if (isSystemProgramFolder(folder) || (!error && isSystemProgramFolder(real.string())))
        return ProgramFolder::Foreign;
    return ProgramFolder::Own;
}

ProgramFiles programFilesFor(const std::string& programPath, ProgramFolder folder, const UserFolders& user)
{
    ProgramFiles files { withExtension(programPath, ".INI"), withExtension(programPath, ".LOG") };
    if (folder == ProgramFolder::Own)
        return files;
    if (const std::string config = user.configHome(); !config.empty())
        files.settings = inUserFolder(config, programPath, ".INI");
    if (const std::string state = user.stateHome(); !state.empty())
        files.log = inUserFolder(state, programPath, ".LOG");
    return files;
}

std::string settingsPathFor(const std::string& programPath)
{
    return programFilesFor(programPath, programFolderOf(programPath), UserFolders::fromEnvironment()).settings;
}

std::string logPathFor(const std::string& programPath)
{
    return programFilesFor(programPath, programFolderOf(programPath), UserFolders::fromEnvironment()).log;
}

std::string installedReadMeFor(const std::string& programPath, const std::string& package)
{
    return folderOf(folderOf(programPath)) + "/share/doc/" + package + "/README.md";
}

std::optional<std::string> readMeFileFor(const std::string& programPath, const std::string& package)
{
    for (const std::string& candidate :
        { installedReadMeFor(programPath, package), folderOf(programPath) + "/README.md" }) {
        struct stat st
        {
        };
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            return candidate;
    }
    return std::nullopt;
}

bool makeUserFolderFor(const std::string& path)
{
    const UserFolders user = UserFolders::fromEnvironment();
    const std::string folder = folderOf(path);
    for (const std::string& top : { user.configHome(), user.stateHome() }) {
        if (!top.empty() && isUnder(folder, top) && ::access(folder.c_str(), F_OK) != 0) {
            makeParent(path);
            return true;
        }
    }
    return false;
}

} // namespace core
