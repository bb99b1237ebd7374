#include "mirror/core/MirrorSettings.h"

#include "common/core/ProgramPaths.h"
#include "common/desktop/IniFile.h"

namespace mirror {

namespace {

const std::string Section = "RPL";
constexpr int32_t FileVersion = 20;

std::string folderKey(int n)
{
    return "Folder" + std::to_string(n);
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

void loadFolders(const desktop::TIniFile& ini, FolderPairList& folders)
{
    folders.clear();
    const int32_t count = ini.ReadNumber(Section, "FolderCount", 0);
    for (int32_t n = 0; n < count; ++n) {
        if (auto pair = parseStoredPair(ini.ReadText(Section, folderKey(n), {})))
            folders.append(std::move(*pair));
    }
}

} // namespace

void loadMirrorSettings(const std::string& iniPath, const std::string& programPath, MirrorSettings& settings)
{
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
    loadFolders(ini, settings.folders);
    settings.activePageStatus = ini.ReadFlag(Section, "ActivePageStatus", false);
}

void saveMirrorSettings(const std::string& iniPath, const MirrorSettings& settings)
{
    desktop::TIniFile ini(iniPath);
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
    // Keys of a longer earlier list stay in the file; FolderCount bounds the next load.
    for (int n = 0; n < settings.folders.count(); ++n) {
        const FolderPair& pair = settings.folders.at(n);
        ini.WriteText(Section, folderKey(n), (pair.enabled ? "+" : "-") + pair.text);
    }
    ini.WriteFlag(Section, "ActivePageStatus", settings.activePageStatus);
}

} // namespace mirror
