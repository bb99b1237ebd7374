#include "common/desktop/IniFile.h"

#include "common/desktop/IniFileCache.h"

namespace desktop {

TIniFile::TIniFile(std::string path)
    : m_path(std::move(path))
{
}

TIniFile::~TIniFile()
{
    IniFileCache::instance().release(m_path);
}

std::string TIniFile::ReadText(
    const std::string& section, const std::string& key, const std::string& defaultValue) const
{
    // Whole: a value cut here would be cut in the file by the next save of it.
    return IniFileCache::instance().read(m_path, section, key).value_or(defaultValue);
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const
{
    return IniFileCache::instance().keys(m_path, section);
}

void TIniFile::WriteText(const std::string& section, const std::string& key, const std::string& value)
{
    IniFileCache::instance().write(m_path, section, key, value);
}

} // namespace desktop
