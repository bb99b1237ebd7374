#include "common/desktop/IniBatch.h"

#include "common/core/LockedFile.h"

#include <cerrno>

namespace desktop {

namespace {

constexpr mode_t kOwnerOnlyMode = 0600;

[[noreturn]] void fail(const std::string& path, const std::string& reason = {})
{
    throw EIniFileException("Unable to write to " + path + (reason.empty() ? "" : " (" + reason + ")"));
}

} // namespace

IniBatch::IniBatch(std::string path)
    : m_path(std::move(path))
{
}

bool IniBatch::isText(std::string_view text)
{
    // UTF-16 and UTF-32 begin with a byte-order mark or hold NUL bytes.
    if (text.starts_with("\xff\xfe") || text.starts_with("\xfe\xff"))
        return false;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        // Tab, line ends, form feed, escape and the old end-of-file mark occur in text files.
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\v' && byte != '\f' && byte != '\r'
            && byte != 0x1a && byte != 0x1b)
            return false;
    }
    return true;
}

const IniDocument& IniBatch::document() const
{
    if (!m_document) {
        // Reads never fail: what cannot be read is a file without keys.
        const core::LockedFile file(m_path, core::LockedFile::Access::Read);
        std::string text;
        if (file.error() != 0 || file.read(text) != 0)
            text.clear();
        m_document.emplace(std::move(text));
    }
    return *m_document;
}

std::string IniBatch::ReadText(const std::string& section, const std::string& key, const std::string& defaultValue) const
{
    const auto value = document().value(section, key);
    return value ? std::string(*value) : defaultValue;
}

std::vector<std::string> IniBatch::ReadSection(const std::string& section) const
{
    return document().keys(section);
}

void IniBatch::WriteText(const std::string& section, const std::string& key, const std::string& value)
{
    m_writes.push_back({ section, key, value });
    if (m_document)
        m_document->set(section, key, value);
}

void IniBatch::save(Readers readers)
{
    core::LockedFile file(m_path, core::LockedFile::Access::Write);
    if (file.error() == core::NotRegularFile)
        fail(m_path, core::fileErrorText(file.error()));
    if (file.error() == EWOULDBLOCK)
        fail(m_path, "another program holds its lock");
    if (file.error() != 0)
        fail(m_path);
    std::string text;
    if (file.read(text) != 0)
        fail(m_path);
    if (!isText(text))
        fail(m_path, "not a text file");
    IniDocument saved(std::move(text));
    const bool ownerOnly = readers == Readers::OwnerOnly;
    // A file others may read is rewritten even unchanged, to take their access away.
    bool changed = !file.exists() || (ownerOnly && (file.status().st_mode & 07777) != kOwnerOnlyMode);
    for (const Write& write : m_writes)
        changed = saved.set(write.section, write.key, write.value).kind != IniDocument::Edit::Unchanged || changed;
    const auto mode = ownerOnly ? std::optional<mode_t>(kOwnerOnlyMode) : std::nullopt;
    if (changed && file.replace(saved.text(), mode) != 0)
        fail(m_path);
    m_writes.clear();
    m_document = std::move(saved);
}

} // namespace desktop
