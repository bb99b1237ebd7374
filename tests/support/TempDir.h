#pragma once

// A fresh directory under the system temp folder, removed with everything in it at the end.

#include <filesystem>
#include <string>

namespace test {

class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// Reads a whole file as bytes; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);
// Writes bytes to a file, creating its parent folders.
void writeFile(const std::filesystem::path& path, const std::string& bytes);

} // namespace test
