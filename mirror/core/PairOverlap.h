#pragma once

// Whether a pair's source and destination share folders, so that mirroring one would change
// the other or descend into its own output. Names alone cannot tell: a link, a bind mount or a
// mount below either folder can show one folder at two places. The check compares
//  - the real paths (links resolved) by name;
//  - the folders themselves by identity (device and inode) along both real paths;
//  - the places in their file systems (from the mount table) of both folders and of every
//    mount below either of them, which sees through bind mounts.
// A destination that does not exist yet is judged by where it would be made. A pair that
// cannot be judged counts as overlapping.

#include <string>

namespace mirror {

bool pairOverlaps(const std::string& source, const std::string& destination);

} // namespace mirror
