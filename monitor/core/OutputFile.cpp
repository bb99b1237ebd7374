#include "monitor/core/OutputFile.h"

#include "monitor/core/MetricsFile.h"

#include <cerrno>
#include <sys/stat.h>

namespace monitor {

int notRegularFile(const std::string& path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? 0 : errno;
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    return S_ISREG(st.st_mode) ? 0 : EINVAL;
}

int replaceOutputFile(const std::string& path, const std::string& text)
{
    if (const int error = notRegularFile(path))
        return error;
    return replaceFile(path, text);
}

} // namespace monitor
