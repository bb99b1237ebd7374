#pragma once

// Disk access of the INI store, with a parsed copy of each recently used file so that a batch of
// thousands of single-key reads and writes does not read and rewrite the whole file each time.
//
// The copy is never trusted blindly: every operation first compares the file's identity on disk
// (device, inode, size, modification and change times to the nanosecond) with the identity the
// copy was made from, and reads the file again when anything differs, so a change made by any
// other writer is seen at the next operation. (This relies on the kernel giving a changed file a
// new change time after the file was looked at, which Linux does since its fine-grained
// timestamps; older kernels stamp with clock-tick resolution.)
//
// Every write leaves a complete file on disk when it returns. A value equal to the stored one
// writes nothing. A line added at the end of the file, or a line changed to one of the same
// length, is written into the file with one write that moves no other byte. Any other change
// writes the whole new text to a hidden file in the same folder and swaps it with the old one in
// one rename (keeping the permission bits and, where allowed, the owner), so the path always
// names a complete file. The old file stays under the hidden name as the next swap's scratch
// file, because filling a fresh file costs far more than overwriting a cached one; it is removed
// when the store objects of that path are freed.

#include "common/desktop/IniDocument.h"

#include <cstdint>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct stat;

namespace desktop {

class IniFileCache
{
public:
    // One cache for the process: TIniFile objects are short-lived, the files they name are not.
    static IniFileCache& instance();

    // The stored value, or nothing when the file, section or key is absent or the file unreadable.
    std::optional<std::string> read(const std::string& path, std::string_view section, std::string_view key);
    // The section's key names in file order; none when the file or section is absent.
    std::vector<std::string> keys(const std::string& path, std::string_view section);

    // Stores the value; throws EIniFileException when the file cannot be written.
    void write(const std::string& path, std::string_view section, std::string_view key, std::string_view value);

    // Removes the scratch file kept beside `path`, if any.
    void release(const std::string& path);

    ~IniFileCache();

private:
    struct Identity
    {
        uint64_t device = 0;
        uint64_t inode = 0;
        int64_t size = -1;
        timespec modified {};
        timespec changed {};
        bool operator==(const Identity& other) const;
        static Identity of(const struct stat& st);
    };
    struct Entry
    {
        Identity identity;
        IniDocument document;
        uint64_t lastUse = 0;
    };
    enum class Outcome
    {
        Done,
        Raced
    };
    struct Spare
    {
        std::string name;
        uint64_t device = 0;
        uint64_t inode = 0;
    };

    Entry* current(const std::string& path, const struct stat& st);
    static std::optional<Entry> load(const std::string& path);
    Outcome create(const std::string& path, std::string_view section, std::string_view key, std::string_view value);
    Outcome patch(const std::string& path, Entry& entry, const IniDocument::Edit& edit);
    void replace(const std::string& path, const struct stat& st, Entry& entry);
    int openSpare(const std::string& path, const std::string& target, std::string& name);
    void dropSpare(const std::string& path);
    void remember(const std::string& path, Entry entry);
    [[noreturn]] void fail(const std::string& path);

    std::mutex m_mutex;
    std::unordered_map<std::string, Entry> m_entries;
    std::unordered_map<std::string, Spare> m_spares; // by the path as the caller names it
    uint64_t m_useCounter = 0;
};

} // namespace desktop
