#pragma once

// The two rules of every whole file the monitor writes beside its log (status page, history):
// a path that exists and is not a regular file is refused, never opened (a FIFO would block,
// a device never end); and a whole file is replaced at once, as the metrics file is.

#include <string>

namespace monitor {

// 0 when `path` is a regular file or not there; otherwise the errno that tells why not
// (EISDIR for a folder, EINVAL for a FIFO, socket or device) or why it could not be looked at.
int notRegularFile(const std::string& path);

// Writes `text` as the whole of `path` so that a reader sees the old file or the new one; 0 or
// the errno of the failure. A path that is not a regular file is refused.
int replaceOutputFile(const std::string& path, const std::string& text);

} // namespace monitor
