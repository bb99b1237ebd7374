#pragma once

// Copies of single entries that carry what a mirror must carry: contents through the kernel's
// fast path, permission bits and modification time; symbolic links as links (same target text).
// Run as root, copies also keep the source's owner and group, as cp -a and rsync -a do; anyone
// else owns the copies they make. A target is never written in place: callers copy to a fresh
// name they claim exclusively and rename it over.

#include <cstdint>
#include <functional>
#include <string>

struct stat;

namespace core {

// Whether copies keep the source's owner and group: only root may give files away.
bool keepsOwners();

// Told the bytes copied so far after each step of a copy (at most 64 MiB); returns false to
// give the copy up.
using CopyProgress = std::function<bool(uint64_t copied)>;

// Copies a regular file's bytes, mode and modification time to `target`, which must not
// exist. Returns 0 or the errno of the failure (ECANCELED when `progress` gave it up); a
// partial target is removed. Safe to run on a worker thread.
int copyRegularFile(const std::string& source, const std::string& target, const CopyProgress& progress = {});

// Creates `target` as a symbolic link with the same target text as the link `source`.
int copySymlink(const std::string& source, const std::string& target);

// Gives the folder `target` (as it is now: `current`) the permission bits of `source`, and its
// owner and group where keepsOwners(). Changes only what differs; a final link is followed only
// with `followLink`. Returns 0 or the errno of the failure.
int carryFolderAttributes(const struct stat& source,
                          const struct stat& current,
                          const std::string& target,
                          bool followLink);

// Renames `from` to `target` only if `target` does not exist (EEXIST otherwise), so a file
// that appeared meanwhile is never overwritten unseen.
int renameNoReplace(const std::string& from, const std::string& target);

// Renames `from` to `wanted`, or where that name is taken to "name (2).ext", "name (3).ext", ...
// in `wanted`'s folder, each name claimed without replacing anything, so two writers never
// take one name. `claimed` gets the name used. Returns 0 or the errno of the failure.
int renameToFreeName(const std::string& from, const std::string& wanted, std::string& claimed);

// A hidden sibling name for `target` under which a copy is written before it is renamed over.
// It depends on the target's name alone, so a later run finds what a killed one left.
std::string temporarySibling(const std::string& target);

// Whether a folder entry's name has the form of temporarySibling's names.
bool isTemporaryName(const std::string& name);

} // namespace core
