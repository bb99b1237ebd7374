#include "ArchiveManifest.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace mirror {

namespace {

std::string escaped(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
    return out;
}

std::string unescaped(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c;
    }
    return out;
}

std::string isoTime(time_t when)
{
    tm local {};
    localtime_r(&when, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    std::string iso = text; // +hhmm, and ISO 8601 writes the offset +hh:mm
    if (iso.size() >= 5)
        iso.insert(iso.size() - 2, ":");
    return iso;
}

time_t parseIsoTime(const std::string& text)
{
    tm when {};
    int offsetH = 0;
    int offsetM = 0;
    char sign = '+';
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%2d:%2d", &when.tm_year, &when.tm_mon, &when.tm_mday,
            &when.tm_hour, &when.tm_min, &when.tm_sec, &sign, &offsetH, &offsetM)
        < 6)
        return 0;
    when.tm_year -= 1900;
    when.tm_mon -= 1;
    const long offset = (offsetH * 3600L + offsetM * 60L) * (sign == '-' ? -1 : 1);
    return timegm(&when) - offset;
}

std::string manifestPath(const std::string& runFolder)
{
    return runFolder + "/" + ManifestName;
}

int writeAll(int fd, const std::string& text)
{
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        done += static_cast<size_t>(n);
    }
    return 0;
}

int writeFile(const std::string& path, const std::string& text, int flags)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | flags, 0644);
    if (fd < 0)
        return errno;
    int error = writeAll(fd, text);
    if (close(fd) != 0 && !error)
        error = errno;
    return error;
}

} // namespace

std::string manifestLine(const ManifestItem& item)
{
    return escaped(item.path) + '\t' + item.type + '\t' + std::to_string(item.size) + '\t' + isoTime(item.mtime) + '\t'
        + escaped(item.archived) + "\r\n";
}

std::optional<ManifestItem> parseManifestLine(const std::string& line)
{
    std::vector<std::string> fields;
    size_t at = 0;
    for (;;) {
        const size_t tab = line.find('\t', at);
        fields.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
        if (tab == std::string::npos)
            break;
        at = tab + 1;
    }
    if (fields.size() != 5 || fields[0].empty() || fields[4].empty())
        return std::nullopt;
    ManifestItem item;
    item.path = unescaped(fields[0]);
    item.type = fields[1];
    item.size = std::strtoull(fields[2].c_str(), nullptr, 10);
    item.mtime = parseIsoTime(fields[3]);
    item.archived = unescaped(fields[4]);
    return item;
}

int appendToManifest(const std::string& runFolder, const ManifestItem& item)
{
    return writeFile(manifestPath(runFolder), manifestLine(item), O_APPEND);
}

std::vector<ManifestItem> readManifest(const std::string& runFolder, int& error)
{
    std::vector<ManifestItem> items;
    error = 0;
    const int fd = open(manifestPath(runFolder).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = errno;
        return items;
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error = errno;
        if (n <= 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (auto item = parseManifestLine(line))
            items.push_back(std::move(*item));
        at = end + 1;
    }
    return items;
}

int rewriteManifest(const std::string& runFolder, const std::vector<ManifestItem>& items)
{
    const std::string path = manifestPath(runFolder);
    if (items.empty())
        return unlink(path.c_str()) == 0 || errno == ENOENT ? 0 : errno;
    std::string text;
    for (const ManifestItem& item : items)
        text += manifestLine(item);
    const std::string fresh = path + ".new";
    unlink(fresh.c_str());
    if (const int error = writeFile(fresh, text, O_EXCL))
        return error;
    return rename(fresh.c_str(), path.c_str()) == 0 ? 0 : errno;
}

} // namespace mirror
