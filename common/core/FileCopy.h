#pragma once

// Copies of single entries that carry what a mirror must carry: contents through the kernel's
// fast path, permission bits and modification time; symbolic links as links (same target text).
// A target is never written in place: callers copy to a fresh name and rename it over.

#include <functional>
#include <string>

namespace core {

// Copies a regular file's bytes, mode and modification time to `target`, which must not
// exist. Returns 0 or the errno of the failure; a partial target is removed. `progress` runs
// after every 64 MiB, so a caller can keep its window alive during a large file.
int copyRegularFile(const std::string& source,
                    const std::string& target,
                    const std::function<void()>& progress = {});

// Creates `target` as a symbolic link with the same target text as the link `source`.
int copySymlink(const std::string& source, const std::string& target);

// Renames `from` to `target` only if `target` does not exist (EEXIST otherwise), so a file
// that appeared meanwhile is never overwritten unseen.
int renameNoReplace(const std::string& from, const std::string& target);

// A hidden sibling name for `target` under which a copy is written before it is renamed over.
std::string temporarySibling(const std::string& target);

} // namespace core
