#pragma once

// One INI file read once and saved once, for a program's load and save of all its settings:
// a save either writes every key or leaves the file as it was.
//
// The first read takes the whole file under a shared lock (core::LockedFile) and answers every
// read from that text. Writes are kept in memory, in order, until save(): it takes the file's
// exclusive lock, reads the file as it is now, makes every write into it as TIniFile would
// (keys replaced where they stand, new ones at the end of their section, unknown lines kept)
// and replaces the file once, keeping its owner, group and mode. A link to a file saves that
// file. Another process's save waits for this one and then works on its result.
//
// A save refuses, with EIniFileException, anything at the path that is not a regular file and
// a file that is not text (NUL bytes, UTF-16, other control bytes), so that nothing of a file
// that was never a settings file is lost to it.

#include "common/desktop/IniDocument.h"
#include "common/desktop/IniStore.h"

#include <optional>
#include <string>
#include <vector>

namespace desktop {

class IniBatch final : public IniStore
{
public:
    explicit IniBatch(std::string path);

    const std::string& path() const { return m_path; }

    // The value as the file held it at the first read, changed by the writes made since.
    std::string ReadText(
        const std::string& section, const std::string& key, const std::string& defaultValue) const override;
    std::vector<std::string> ReadSection(const std::string& section) const override;
    void WriteText(const std::string& section, const std::string& key, const std::string& value) override;

    // Who may read the saved file: as before, or the owner alone (mode 0600, for a file that
    // holds a password; set before the new text is written).
    enum class Readers
    {
        AsBefore,
        OwnerOnly
    };

    // Writes what WriteText was given since the last save; throws EIniFileException ("Unable to
    // write to <path>", with the reason for a refusal) and then leaves the file as it was.
    void save(Readers readers = Readers::AsBefore);

    // Whether `text` reads as an 8-bit text file.
    static bool isText(std::string_view text);

private:
    struct Write
    {
        std::string section;
        std::string key;
        std::string value;
    };

    const IniDocument& document() const;

    std::string m_path;
    mutable std::optional<IniDocument> m_document;
    std::vector<Write> m_writes;
};

} // namespace desktop
