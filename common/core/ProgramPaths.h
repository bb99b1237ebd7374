#pragma once

// Files that belong to a program by name: its settings and log beside it, named after the
// program's own path with another extension ("/opt/rpl/RPL" -> "/opt/rpl/RPL.INI").

#include <string>

namespace core {

// `path` with its extension replaced by `extension`, or with `extension` added when it has
// none. A leading dot names a hidden file, not an extension.
std::string withExtension(const std::string& path, const std::string& extension);

// The settings file ".INI" and the log file ".LOG" beside the program.
std::string settingsPathFor(const std::string& programPath);
std::string logPathFor(const std::string& programPath);

} // namespace core
