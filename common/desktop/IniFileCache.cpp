#include "common/desktop/IniFileCache.h"

#include "common/desktop/IniFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace desktop {

namespace {

constexpr size_t MaxCachedFiles = 8;
constexpr int MaxAttempts = 3;

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool readAll(int fd, size_t sizeHint, std::string& out)
{
    out.resize(sizeHint + 1); // one byte more than expected shows a file that grew meanwhile
    size_t got = 0;
    for (;;) {
        if (got == out.size())
            out.resize(out.size() * 2);
        const ssize_t n = ::pread(fd, out.data() + got, out.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    out.resize(got);
    return true;
}

bool overwriteAll(int fd, std::string_view bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
}

// A file without any write bit is read-only even for root, as the read-only attribute is for an
// administrator. Where the file itself is not opened for writing, the kernel's check for the
// effective user is asked as well.
bool readOnly(const struct stat& st)
{
    return (st.st_mode & 0222) == 0;
}

bool accessible(const std::string& path)
{
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// The prefix of the hidden scratch files beside `target`: "dir/.name."
std::string scratchPrefix(const std::string& target)
{
    const size_t slash = target.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return target.substr(0, nameStart) + "." + target.substr(nameStart) + ".";
}

// Lines added at the end, and a line changed to one of the same length within one page, are
// written into the file itself with one write: no other byte moves, so the file is never
// incomplete. Everything else takes the whole-file swap.
bool inPlace(const IniDocument::Edit& edit)
{
    constexpr size_t Page = 4096;
    return edit.kind == IniDocument::Edit::Appended
        || (edit.kind == IniDocument::Edit::Overwritten && edit.from / Page == (edit.from + edit.length - 1) / Page);
}

bool sameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

bool IniFileCache::Identity::operator==(const Identity& other) const
{
    return size >= 0 && device == other.device && inode == other.inode && size == other.size
        && sameTime(modified, other.modified) && sameTime(changed, other.changed);
}

IniFileCache::Identity IniFileCache::Identity::of(const struct stat& st)
{
    return { static_cast<uint64_t>(st.st_dev),
        static_cast<uint64_t>(st.st_ino),
        static_cast<int64_t>(st.st_size),
        st.st_mtim,
        st.st_ctim };
}

IniFileCache& IniFileCache::instance()
{
    static IniFileCache cache;
    return cache;
}

std::optional<std::string> IniFileCache::read(const std::string& path, std::string_view section, std::string_view key)
{
    std::lock_guard lock(m_mutex);
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        m_entries.erase(path);
        return std::nullopt;
    }
    const Entry* entry = current(path, st);
    if (!entry)
        return std::nullopt;
    const auto value = entry->document.value(section, key);
    return value ? std::optional<std::string>(*value) : std::nullopt;
}

std::vector<std::string> IniFileCache::keys(const std::string& path, std::string_view section)
{
    std::lock_guard lock(m_mutex);
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        m_entries.erase(path);
        return {};
    }
    const Entry* entry = current(path, st);
    return entry ? entry->document.keys(section) : std::vector<std::string>();
}

void IniFileCache::write(
    const std::string& path, std::string_view section, std::string_view key, std::string_view value)
{
    std::lock_guard lock(m_mutex);
    // A race with another writer (the file created, replaced or grown between our look and our
    // write) makes us look again; after a few tries the whole-file replacement settles it.
    for (int attempt = 0;; ++attempt) {
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) {
            if (errno != ENOENT || attempt >= MaxAttempts)
                fail(path);
            if (create(path, section, key, value) == Outcome::Done)
                return;
            continue;
        }
        if (!S_ISREG(st.st_mode) || readOnly(st))
            fail(path);
        Entry* entry = current(path, st);
        if (!entry)
            fail(path);
        const IniDocument::Edit edit = entry->document.set(section, key, value);
        // A file with other names is replaced, never changed under them: those keep the old text.
        if (inPlace(edit) && st.st_nlink == 1 && attempt < MaxAttempts) {
            if (patch(path, *entry, edit) == Outcome::Done)
                return;
            continue;
        }
        // An unchanged value is refused like any other where the file could not be written.
        if (!accessible(path))
            fail(path);
        if (edit.kind != IniDocument::Edit::Unchanged)
            replace(path, st, *entry);
        return;
    }
}

IniFileCache::Entry* IniFileCache::current(const std::string& path, const struct stat& st)
{
    const auto it = m_entries.find(path);
    if (it != m_entries.end() && it->second.identity == Identity::of(st)) {
        it->second.lastUse = ++m_useCounter;
        return &it->second;
    }
    auto loaded = load(path);
    if (!loaded) {
        m_entries.erase(path);
        return nullptr;
    }
    remember(path, std::move(*loaded));
    return &m_entries.at(path);
}

std::optional<IniFileCache::Entry> IniFileCache::load(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::optional<Entry> result;
    std::string text;
    for (int attempt = 0; attempt < MaxAttempts && !result; ++attempt) {
        struct stat before, after;
        if (::fstat(fd, &before) != 0 || !readAll(fd, static_cast<size_t>(before.st_size), text)
            || ::fstat(fd, &after) != 0)
            break;
        const bool steady = Identity::of(before) == Identity::of(after);
        if (steady || attempt + 1 == MaxAttempts) {
            // Text read while the file kept changing is used once but never matches on disk.
            result = Entry { steady ? Identity::of(after) : Identity {}, IniDocument(std::move(text)), 0 };
        }
    }
    ::close(fd);
    return result;
}

IniFileCache::Outcome IniFileCache::create(
    const std::string& path, std::string_view section, std::string_view key, std::string_view value)
{
    IniDocument document;
    document.set(section, key, value);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST)
            return Outcome::Raced;
        fail(path);
    }
    struct stat st;
    bool ok = writeAll(fd, document.text()) && ::fstat(fd, &st) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(path.c_str());
        fail(path);
    }
    remember(path, Entry { Identity::of(st), std::move(document), 0 });
    return Outcome::Done;
}

IniFileCache::Outcome IniFileCache::patch(const std::string& path, Entry& entry, const IniDocument::Edit& edit)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            m_entries.erase(path);
            return Outcome::Raced;
        }
        fail(path);
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !(Identity::of(st) == entry.identity)) {
        ::close(fd);
        m_entries.erase(path);
        return Outcome::Raced;
    }
    const off_t oldSize = st.st_size;
    const std::string_view bytes = std::string_view(entry.document.text()).substr(edit.from, edit.length);
    bool ok
        = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(edit.from)) == static_cast<ssize_t>(bytes.size())
        && ::fstat(fd, &st) == 0;
    if (!ok && edit.kind == IniDocument::Edit::Appended && ::ftruncate(fd, oldSize) != 0) {
        // The file keeps a cut line at its end; nothing more can be done here.
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok)
        fail(path);
    entry.identity = Identity::of(st);
    return Outcome::Done;
}

void IniFileCache::replace(const std::string& path, const struct stat& st, Entry& entry)
{
    // Renaming over a symbolic link would replace the link: write beside its target instead.
    std::string target = path;
    struct stat link;
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char* real = ::realpath(path.c_str(), nullptr);
        if (!real)
            fail(path);
        target = real;
        std::free(real);
    }
    std::string scratch;
    const int fd = openSpare(path, target, scratch);
    if (fd < 0)
        fail(path);
    bool ok = overwriteAll(fd, entry.document.text()) && ::fchmod(fd, st.st_mode & 07777) == 0;
    if (ok && (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) && ::fchown(fd, st.st_uid, st.st_gid) != 0) {
        // Only root may give the file back to its owner; anyone else's copy stays theirs.
    }
    struct stat written;
    ok = ok && ::fstat(fd, &written) == 0;
    ok = ::close(fd) == 0 && ok;
    // The swap keeps the old file as the next scratch file, unless other names share it.
    const bool swapped = ok && st.st_nlink == 1
        && ::renameat2(AT_FDCWD, scratch.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0;
    if (swapped) {
        m_spares[path] = Spare { scratch, static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino) };
    } else {
        m_spares.erase(path);
        if (!ok || ::rename(scratch.c_str(), target.c_str()) != 0) {
            ::unlink(scratch.c_str());
            fail(path);
        }
    }
    struct stat now;
    if (::stat(path.c_str(), &now) == 0 && now.st_dev == written.st_dev && now.st_ino == written.st_ino)
        entry.identity = Identity::of(now);
    else
        m_entries.erase(path);
}

// The kept scratch file when it is still ours alone and beside the target, else a new one.
int IniFileCache::openSpare(const std::string& path, const std::string& target, std::string& name)
{
    const std::string prefix = scratchPrefix(target);
    const auto spare = m_spares.find(path);
    if (spare != m_spares.end()) {
        const int fd = ::open(spare->second.name.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
        struct stat st;
        if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1
            && static_cast<uint64_t>(st.st_dev) == spare->second.device
            && static_cast<uint64_t>(st.st_ino) == spare->second.inode && spare->second.name.starts_with(prefix)) {
            name = spare->second.name;
            return fd;
        }
        if (fd >= 0)
            ::close(fd);
        dropSpare(path);
    }
    name = prefix + "XXXXXX";
    return ::mkostemp(name.data(), O_CLOEXEC);
}

void IniFileCache::release(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    dropSpare(path);
}

void IniFileCache::dropSpare(const std::string& path)
{
    const auto spare = m_spares.find(path);
    if (spare == m_spares.end())
        return;
    // Only the file we left there is removed, never one that took its name since.
    struct stat st;
    if (::lstat(spare->second.name.c_str(), &st) == 0 && static_cast<uint64_t>(st.st_dev) == spare->second.device
        && static_cast<uint64_t>(st.st_ino) == spare->second.inode)
        ::unlink(spare->second.name.c_str());
    m_spares.erase(spare);
}

IniFileCache::~IniFileCache()
{
    while (!m_spares.empty())
        dropSpare(m_spares.begin()->first);
}

void IniFileCache::remember(const std::string& path, Entry entry)
{
    entry.lastUse = ++m_useCounter;
    m_entries.insert_or_assign(path, std::move(entry));
    if (m_entries.size() <= MaxCachedFiles)
        return;
    auto oldest = m_entries.begin();
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->second.lastUse < oldest->second.lastUse)
            oldest = it;
    }
    m_entries.erase(oldest);
}

void IniFileCache::fail(const std::string& path)
{
    m_entries.erase(path);
    throw EIniFileException("Unable to write to " + path);
}

} // namespace desktop
