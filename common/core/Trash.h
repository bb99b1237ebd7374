#pragma once

// Moving a file or folder into the desktop trash as the freedesktop.org Trash specification
// lays out: the home trash ($XDG_DATA_HOME/Trash) for items on the home trash's file system,
// otherwise $topdir/.Trash/$uid (when .Trash is a sticky, real folder) or $topdir/.Trash-$uid.
// The item is renamed into files/, never copied, and a .trashinfo with its percent-encoded
// path and deletion date goes into info/. Symbolic links are trashed as links.

#include <string>

namespace core {

struct TrashResult
{
    enum class Outcome
    {
        Trashed,   // the item is in a trash
        NoTrash,   // no trash can be had for this item's file system; nothing was changed
        Failed,    // a trash exists but the move failed; nothing was changed
    };
    Outcome outcome = Outcome::Failed;
    int error = 0;                 // errno of the failure
    std::string trashedPath;       // where the item now is (files/...)
    std::string infoPath;          // its .trashinfo
};

TrashResult moveToTrash(const std::string& path);

// The home trash folder for the current user (not created here).
std::string homeTrashPath();

} // namespace core
