#include "mirror/core/MirrorSettings.h"

#include "common/core/ProgramPaths.h"
#include "common/desktop/IniBatch.h"
#include "common/desktop/IniFile.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <set>
#include <unistd.h>

namespace mirror {

namespace {

const std::string Section = "RPL";
constexpr int32_t FileVersion = 20;

std::string folderKey(int n)
{
    return "Folder" + std::to_string(n);
}

std::string excludeKey(int n)
{
    return "Exclude" + std::to_string(n);
}

// "+" or "-" and a text with the separator; anything else is no pair.
std::optional<FolderPair> parseStoredPair(const std::string& stored)
{
    if (stored.empty() || (stored[0] != '+' && stored[0] != '-'))
        return std::nullopt;
    std::string text = stored.substr(1);
    if (text.find(FolderPair::Separator) == std::string::npos)
        return std::nullopt;
    return FolderPair { std::move(text), stored[0] == '+' };
}

// The whole file as bytes; returns 0 or the errno of the failure.
int readWhole(const std::string& path, std::string& text)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    char buffer[65536];
    ssize_t n = 0;
    while ((n = read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            text.append(buffer, static_cast<size_t>(n));
    const int error = n < 0 ? errno : 0;
    close(fd);
    return error;
}

// The n of every line that starts "Folder<n>=", in any section and letter case: at most these
// keys exist, however large FolderCount says the list is.
std::set<int32_t> folderNumbers(const std::string& text)
{
    std::set<int32_t> numbers;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        size_t i = at;
        while (i < end && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        static const std::string Word = "folder";
        bool matches = end - i > Word.size();
        for (size_t k = 0; matches && k < Word.size(); ++k)
            matches = (text[i + k] | 0x20) == Word[k];
        if (matches) {
            i += Word.size();
            int64_t n = 0;
            size_t digits = 0;
            for (; i < end && text[i] >= '0' && text[i] <= '9' && digits < 11; ++i, ++digits)
                n = n * 10 + (text[i] - '0');
            while (i < end && (text[i] == ' ' || text[i] == '\t'))
                ++i;
            if (digits > 0 && n <= INT32_MAX && i < end && text[i] == '=')
                numbers.insert(static_cast<int32_t>(n));
        }
        at = end + 1;
    }
    return numbers;
}

void loadFolders(const desktop::TIniFile& ini, const std::string& text, FolderPairList& folders, SettingsLoad& load)
{
    folders.clear();
    const int32_t count = ini.ReadNumber(Section, "FolderCount", 0);
    for (const int32_t n : folderNumbers(text)) {
        if (n >= count)
            break;
        const std::string value = ini.ReadText(Section, folderKey(n), {});
        if (value.empty())
            continue;
        if (auto pair = parseStoredPair(value)) {
            pair->exclude = ini.ReadText(Section, excludeKey(n), {});
            folders.append(std::move(*pair));
        }
        else
            load.skippedEntries.push_back(folderKey(n) + "=" + value);
    }
}

} // namespace

SettingsLoad loadMirrorSettings(const std::string& iniPath, const std::string& programPath, MirrorSettings& settings)
{
    SettingsLoad load;
    std::string text;
    load.fileError = readWhole(iniPath, text);
    const desktop::TIniFile ini(iniPath);
    settings.autoPilotEnabled = ini.ReadFlag(Section, "AutoPilotEnabled", false);
    settings.autoPilotInterval = ini.ReadText(Section, "AutoPilotInterval", "60");
    settings.delOption = ini.ReadFlag(Section, "DelOption", false);
    settings.timeDifTolerance = ini.ReadNumber(Section, "TimeDifTolerance", settings.timeDifTolerance);
    settings.skipCopyFolderError = ini.ReadFlag(Section, "SkipCopyFolderError", false);
    settings.logFileEnable = ini.ReadFlag(Section, "LogFileEnable", false);
    settings.logFileOverwrite = ini.ReadFlag(Section, "LogFileOverwrite", false);
    settings.attachLogToEMail = ini.ReadFlag(Section, "AttachLogToEMail", false);
    settings.logFileName = ini.ReadText(Section, "LogFileName", {});
    if (settings.logFileName.empty())
        settings.logFileName = core::logPathFor(programPath);
    settings.sendEMailEnable = ini.ReadFlag(Section, "SendEMailEnable", false);
    settings.smtpServer = ini.ReadText(Section, "SmtpServer", {});
    settings.mailFromAddress = ini.ReadText(Section, "MailFromAddress", {});
    settings.mailToAddress = ini.ReadText(Section, "MailToAddress", {});
    settings.mailCustomSubject = ini.ReadText(Section, "MailCustomSubject", {});
    settings.mailCustomText = ini.ReadText(Section, "MailCustomText", {});
    settings.smtpPort = ini.ReadText(Section, "SmtpPort", {});
    settings.smtpSecurity = ini.ReadText(Section, "SmtpSecurity", {});
    settings.smtpUser = ini.ReadText(Section, "SmtpUser", {});
    settings.smtpPassword = ini.ReadText(Section, "SmtpPassword", {});
    settings.smtpPasswordFile = ini.ReadText(Section, "SmtpPasswordFile", {});
    settings.smtpTrustFile = ini.ReadText(Section, "SmtpTrustFile", {});
    loadFolders(ini, text, settings.folders, load);
    settings.activePageStatus = ini.ReadFlag(Section, "ActivePageStatus", false);
    settings.exclude = ini.ReadText(Section, "Exclude", {});
    return load;
}

void saveMirrorSettings(const std::string& iniPath, const MirrorSettings& settings)
{
    // One batch: the file is replaced once, under the lock, so a failed save leaves it whole.
    core::makeUserFolderFor(iniPath);
    desktop::IniBatch ini(iniPath);
    ini.WriteNumber(Section, "Version", FileVersion);
    ini.WriteFlag(Section, "AutoPilotEnabled", settings.autoPilotEnabled);
    ini.WriteText(Section, "AutoPilotInterval", settings.autoPilotInterval);
    ini.WriteFlag(Section, "DelOption", settings.delOption);
    ini.WriteNumber(Section, "TimeDifTolerance", settings.timeDifTolerance);
    ini.WriteNumber(Section, "FolderCount", settings.folders.count());
    ini.WriteFlag(Section, "SkipCopyFolderError", settings.skipCopyFolderError);
    ini.WriteFlag(Section, "LogFileEnable", settings.logFileEnable);
    ini.WriteFlag(Section, "LogFileOverwrite", settings.logFileOverwrite);
    ini.WriteFlag(Section, "AttachLogToEMail", settings.attachLogToEMail);
    ini.WriteText(Section, "LogFileName", settings.logFileName);
    ini.WriteFlag(Section, "SendEMailEnable", settings.sendEMailEnable);
    ini.WriteText(Section, "SmtpServer", settings.smtpServer);
    ini.WriteText(Section, "MailFromAddress", settings.mailFromAddress);
    ini.WriteText(Section, "MailToAddress", settings.mailToAddress);
    ini.WriteText(Section, "MailCustomSubject", settings.mailCustomSubject);
    ini.WriteText(Section, "MailCustomText", settings.mailCustomText);
    ini.WriteText(Section, "SmtpPort", settings.smtpPort);
    ini.WriteText(Section, "SmtpSecurity", settings.smtpSecurity);
    ini.WriteText(Section, "SmtpUser", settings.smtpUser);
    ini.WriteText(Section, "SmtpPassword", settings.smtpPassword);
    ini.WriteText(Section, "SmtpPasswordFile", settings.smtpPasswordFile);
    ini.WriteText(Section, "SmtpTrustFile", settings.smtpTrustFile);
    // Keys of a longer earlier list stay in the file; FolderCount bounds the next load.
    for (int n = 0; n < settings.folders.count(); ++n) {
        const FolderPair& pair = settings.folders.at(n);
        ini.WriteText(Section, folderKey(n), (pair.enabled ? "+" : "-") + pair.text);
    }
    ini.WriteFlag(Section, "ActivePageStatus", settings.activePageStatus);
    // Written for every pair, empty ones too: a key left from a longer list must not give its
    // patterns to the pair that now has its number.
    ini.WriteText(Section, "Exclude", settings.exclude);
    for (int n = 0; n < settings.folders.count(); ++n)
        ini.WriteText(Section, excludeKey(n), settings.folders.at(n).exclude);
    // A file that holds a password is for its owner's eyes only.
    ini.save(settings.smtpPassword.empty() ? desktop::IniBatch::Readers::AsBefore
                                           : desktop::IniBatch::Readers::OwnerOnly);
}

} // namespace mirror
