#pragma once

// The manifest of one archived run, ".manifest.tsv" in DELETED/<yyyy-mm-dd>/<hh-mm>/: one line
// per item the run moved there, ended by CR LF, with five tab-separated fields: the item's
// path below the pair's destination, its type ("file", "folder", "link" or "other"), its size
// in bytes, its modification time in ISO 8601 with the local offset, and where it lies below
// the run's folder (the same path, unless a name was taken and " (2)" had to be added). In
// paths a backslash, a tab, a carriage return and a line feed are written "\\", "\t", "\r"
// and "\n". A second run in the same minute appends.

#include <ctime>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mirror {

struct ManifestItem
{
    std::string path;
    std::string type;
    uint64_t size = 0;
    time_t mtime = 0;
    std::string archived;
};

constexpr const char* ManifestName = ".manifest.tsv";

std::string manifestLine(const ManifestItem& item);
// Nothing for a line that is not five fields.
std::optional<ManifestItem> parseManifestLine(const std::string& line);

// Appends one item to the manifest in `runFolder`; returns 0 or the errno of the failure.
int appendToManifest(const std::string& runFolder, const ManifestItem& item);
// Reads a manifest; `error` gets 0 or the errno (ENOENT: the run has none).
std::vector<ManifestItem> readManifest(const std::string& runFolder, int& error);
// Writes the manifest anew with `items`, or removes it when there are none.
int rewriteManifest(const std::string& runFolder, const std::vector<ManifestItem>& items);

} // namespace mirror
