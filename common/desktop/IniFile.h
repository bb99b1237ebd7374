#pragma once

// The settings store of both programs: one object bound to one INI file path, six operations
// on section and key. Each read looks the value up in the file as it is on disk now; each write
// is a complete update of the file when it returns. Names compare without regard to case.

#include "common/desktop/IniStore.h"

#include <string>
#include <vector>

namespace desktop {

class TIniFile final : public IniStore
{
public:
    explicit TIniFile(std::string path);
    // Removes the scratch file that a batch of writes may have kept beside the file.
    ~TIniFile() override;
    TIniFile(const TIniFile&) = default;
    TIniFile& operator=(const TIniFile&) = default;

    std::string ReadText(
        const std::string& section, const std::string& key, const std::string& defaultValue) const override;
    void WriteText(const std::string& section, const std::string& key, const std::string& value) override;
    std::vector<std::string> ReadSection(const std::string& section) const override;

private:
    std::string m_path;
};

} // namespace desktop
