#include "FileStamp.h"

#include <sys/stat.h>

namespace core {

FileStamp FileStamp::of(const std::string& path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return { true,
        static_cast<uint64_t>(st.st_dev),
        static_cast<uint64_t>(st.st_ino),
        static_cast<int64_t>(st.st_size),
        static_cast<int64_t>(st.st_mtim.tv_sec),
        static_cast<int64_t>(st.st_mtim.tv_nsec) };
}

} // namespace core
