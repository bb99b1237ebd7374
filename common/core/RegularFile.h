#pragma once

// Every file the programs write (data and settings files, logs, the metrics file, exports) is
// a regular file or nothing yet. A FIFO, a device or a socket at such a path is refused before
// anything opens it: opening a FIFO waits for a reader for ever, and writing a device (or
// renaming over it) is never what a setting meant. A link to a regular file counts as that file.

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace core {

// An error number beside errno's: the path names something that is not a regular file.
inline constexpr int NotRegularFile = 1000;

// strerror's text, or "not a regular file".
std::string fileErrorText(int error);

// 0 when `path` names a regular file or nothing; else EISDIR, NotRegularFile, or the errno of the
// look. For files that another library opens (SQLite): look first, then let it open.
int regularFileError(const std::string& path);

// Opens `path` with `flags` (O_CLOEXEC added) without ever blocking in the open, once it is
// known to be a regular file or absent (with O_CREAT it may then be created with `mode`).
// Returns the descriptor, or the negated error number (errno's, or NotRegularFile).
int openRegularFile(const std::string& path, int flags, mode_t mode = 0666);

// Reads a whole small file (a trust file, a password file) into `bytes` without ever blocking in
// the open; 0, EFBIG when it holds more than `maxBytes`, or the error (as openRegularFile's).
int readRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes);

} // namespace core
