#include "monitor/core/ExportText.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace monitor {

std::string exportText(const DestinationList& list)
{
    std::string text;
    for (int column = 0; column < Destination::ColumnCount; ++column) {
        if (column > 0)
            text += '\t';
        text += Destination::ColumnCaptions[static_cast<size_t>(column)];
    }
    text += "\r\n";
    for (const Destination& row : list.rows()) {
        text += row.HostName;
        for (const std::string& item : row.SubItems) {
            text += '\t';
            text += item;
        }
        text += "\r\n";
    }
    return text;
}

int writeTextFile(const std::string& path, const std::string& text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    int error = 0;
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

} // namespace monitor
