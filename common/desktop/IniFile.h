#pragma once

// The settings store of both programs: one object bound to one INI file path, six operations
// on section and key. Each read looks the value up in the file as it is on disk now; each write
// is a complete update of the file when it returns. Names compare without regard to case.

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

class TIniFile
{
public:
    explicit TIniFile(std::string path);
    // Removes the scratch file that a batch of writes may have kept beside the file.
    ~TIniFile();
    TIniFile(const TIniFile&) = default;
    TIniFile& operator=(const TIniFile&) = default;

    const std::string& FileName() const { return m_path; }

    // The stored value cut to 1023 characters, or `defaultValue` when file, section or key is absent.
    std::string ReadText(const std::string& section, const std::string& key, const std::string& defaultValue) const;
    // The key names of a section as written, in file order.
    std::vector<std::string> ReadSection(const std::string& section) const;
    void WriteText(const std::string& section, const std::string& key, const std::string& value);

    // Decimal, or hexadecimal with a "$" or "0x" prefix; `defaultValue` when absent or not a 32-bit integer.
    int32_t ReadNumber(const std::string& section, const std::string& key, int32_t defaultValue) const;
    void WriteNumber(const std::string& section, const std::string& key, int32_t value);

    // A number that is not 0 is true; stored as "1" or "0".
    bool ReadFlag(const std::string& section, const std::string& key, bool defaultValue) const;
    void WriteFlag(const std::string& section, const std::string& key, bool value);

private:
    std::string m_path;
};

} // namespace desktop
