#include "ProgramPaths.h"

namespace core {

std::string withExtension(const std::string& path, const std::string& extension)
{
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= nameStart)
        return path + extension;
    return path.substr(0, dot) + extension;
}

std::string settingsPathFor(const std::string& programPath)
{
    return withExtension(programPath, ".INI");
}

std::string logPathFor(const std::string& programPath)
{
    return withExtension(programPath, ".LOG");
}

} // namespace core
