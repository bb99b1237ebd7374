#pragma once

// The six operations of the settings store on section and key, whatever keeps the file: each
// read and write on disk at once (TIniFile), or a batch read once and saved once (IniBatch).
// Values are single lines, read whole; names compare without regard to case.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace desktop {

// Raised by a write the file system refuses: "Unable to write to <path>".
class EIniFileException : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class IniStore
{
public:
    virtual ~IniStore() = default;

    // The stored value, or `defaultValue` when file, section or key is absent.
    virtual std::string ReadText(
        const std::string& section, const std::string& key, const std::string& defaultValue) const
        = 0;
    // The key names of a section as written, in file order; none for an absent section.
    virtual std::vector<std::string> ReadSection(const std::string& section) const = 0;
    // Stores the value up to its first line break.
    virtual void WriteText(const std::string& section, const std::string& key, const std::string& value) = 0;

    // Decimal, or hexadecimal with a "$" or "0x" prefix; `defaultValue` when absent or not a 32-bit integer.
    int32_t ReadNumber(const std::string& section, const std::string& key, int32_t defaultValue) const;
    void WriteNumber(const std::string& section, const std::string& key, int32_t value);

    // A number that is not 0 is true; stored as "1" or "0".
    bool ReadFlag(const std::string& section, const std::string& key, bool defaultValue) const;
    void WriteFlag(const std::string& section, const std::string& key, bool value);

protected:
    IniStore() = default;
    IniStore(const IniStore&) = default;
    IniStore& operator=(const IniStore&) = default;
};

} // namespace desktop
