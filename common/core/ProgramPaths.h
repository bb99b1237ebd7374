#pragma once

// Files that belong to a program by name: its settings ".INI" and its log ".LOG", named after
// the program's own path ("/opt/rpl/RPL" -> "/opt/rpl/RPL.INI").
//
// They lie beside the program where its folder is the user's to write (a copy unpacked into a
// folder of one's own, as the programs were always run). A program in a folder it may not
// write, or in one of the system's program folders (a packaged program in /usr/bin, which root
// could write but which belongs to the package manager), keeps them in the user's folders
// instead:
//   settings  $XDG_CONFIG_HOME/<name>/<name>.INI   ($HOME/.config when the variable is unset)
//   log       $XDG_STATE_HOME/<name>/<name>.LOG    ($HOME/.local/state when it is unset)
// where <name> is the program's file name without its extension ("SEN", "RPL"). A file named
// on the command line or in the settings is used as named; this rule gives only the defaults.

#include <optional>
#include <string>

namespace core {

// `path` with its extension replaced by `extension`, or with `extension` added when it has
// none. A leading dot names a hidden file, not an extension.
std::string withExtension(const std::string& path, const std::string& extension);

// The environment's say in where a user's files go. XDG values that are not absolute paths are
// ignored, as the XDG base directory rules ask.
struct UserFolders
{
    std::string xdgConfigHome;
    std::string xdgStateHome;
    std::string home; // $HOME, else the home folder of the password database

    static UserFolders fromEnvironment();
    // "" when neither the XDG value nor a home folder is known.
    std::string configHome() const;
    std::string stateHome() const;
};

enum class ProgramFolder
{
    Own, // the program's files may lie beside it
    Foreign, // read-only, not writable for this user, or a system program folder
};

// Whether the folder of `programPath` is the program's own: the kernel lets this process add a
// file there (access(2) with W_OK: a read-only mount says no even to root) and it is not under
// /usr, /bin or /sbin (checked on its real path, so a link into /usr counts as /usr).
ProgramFolder programFolderOf(const std::string& programPath);

struct ProgramFiles
{
    std::string settings;
    std::string log;
};

// The rule above, without touching the disk. Without any user folder (no home, no XDG value)
// the files stay beside the program, where a write then reports its own error.
ProgramFiles programFilesFor(const std::string& programPath, ProgramFolder folder, const UserFolders& user);

// The rule for this process and its environment. Nothing is made on disk: a run that names its
// own files must not leave empty folders in the user's.
std::string settingsPathFor(const std::string& programPath);
std::string logPathFor(const std::string& programPath);

// The read-me of an installed program, <prefix>/share/doc/<package>/README.md for
// <prefix>/bin/<program>, else the README.md beside a program unpacked into a folder of its
// own; nothing when neither exists. installedReadMeFor gives the first path, whether or not
// a file is there.
std::optional<std::string> readMeFileFor(const std::string& programPath, const std::string& package);
std::string installedReadMeFor(const std::string& programPath, const std::string& package);

// Before a file is written: when `path` lies in this user's configuration or state folder
// (where the defaults above go), makes the folders above it that are missing, each with mode
// 0700 as the XDG rules ask. Any other path is the user's choice and is left alone; a folder
// that cannot be made is left to the write to report. True when it made a folder.
bool makeUserFolderFor(const std::string& path);

} // namespace core
