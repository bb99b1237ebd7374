#pragma once

// Moving a file or folder into the desktop trash as the freedesktop.org Trash specification
// lays out: the home trash ($XDG_DATA_HOME/Trash) for items on the home trash's mount,
// otherwise $topdir/.Trash/$uid (when .Trash is a sticky, real folder) or $topdir/.Trash-$uid,
// where $topdir is the mount point (from the mount table) of the mount the item really lives
// on: a path through a link is resolved first, and a bind mount counts as a mount of its own.
// The item is renamed into files/ without replacing anything, never copied, and a .trashinfo
// with its percent-encoded real path and deletion date goes into info/. Symbolic links are
// trashed as links.

#include <string>

namespace core {

struct TrashResult
{
    enum class Outcome
    {
        Trashed, // the item is in a trash
        NoTrash, // no trash can take this item by a rename; nothing was changed
        Failed, // a trash exists but the move failed; nothing was changed
    };
    Outcome outcome = Outcome::Failed;
    int error = 0; // errno of the failure
    std::string trashedPath; // where the item now is (files/...)
    std::string infoPath; // its .trashinfo
};

TrashResult moveToTrash(const std::string& path);

// The home trash folder for the current user (not created here).
std::string homeTrashPath();

} // namespace core
