#pragma once

// Every value of the mirror's settings file (section "RPL" of RPL.INI beside the program),
// with the defaults a missing file or key gives, and its load and save in the file's key order.

#include "common/net/MailSettings.h"
#include "mirror/core/FolderPairList.h"

#include <string>
#include <vector>

namespace mirror {

struct MirrorSettings
{
    bool autoPilotEnabled = false;
    std::string autoPilotInterval = "60";
    bool delOption = false; // true: trash; false: move into the dated DELETED folder
    int timeDifTolerance = 10;
    bool skipCopyFolderError = false; // true: folder errors are logged and the run goes on
    bool logFileEnable = false;
    bool logFileOverwrite = false;
    bool attachLogToEMail = false;
    std::string logFileName; // filled with the program path + ".LOG" at load when empty
    bool sendEMailEnable = false;
    std::string smtpServer;
    std::string mailFromAddress;
    std::string mailToAddress;
    std::string mailCustomSubject;
    std::string mailCustomText;
    // How the mail server is reached (net::MailSettings), each as typed.
    std::string smtpPort;
    std::string smtpSecurity;
    std::string smtpUser;
    std::string smtpPassword;
    std::string smtpPasswordFile;
    std::string smtpTrustFile;
    bool activePageStatus = false;
    std::string exclude; // exclusion patterns of every pair, ";"-separated (ExcludeRules)
    FolderPairList folders;

    net::MailSettings mailSettings() const
    {
        return { smtpServer, smtpPort, smtpSecurity, smtpUser, smtpPassword, smtpPasswordFile, smtpTrustFile };
    }
};

// What a load found wrong with the file. The window goes on with the defaults without a word;
// the console run tells cron.
struct SettingsLoad
{
    int fileError = 0; // errno when the file could not be read (ENOENT: there is none)
    std::vector<std::string> skippedEntries; // "Folder<n>=<value>" of entries that are no folder pair
};

// Reads the file; never fails (absent file, keys or malformed entries give defaults).
// `settings` supplies the in-memory value of TimeDifTolerance used as its default. Of the
// Folder<n> keys below FolderCount only those the file holds are read, so a damaged count
// costs nothing.
SettingsLoad loadMirrorSettings(const std::string& iniPath, const std::string& programPath, MirrorSettings& settings);

// Writes every key in the file's order. Throws desktop::EIniFileException ("Unable to write to <path>")
// at the first refused write; the keys before it stay written.
void saveMirrorSettings(const std::string& iniPath, const MirrorSettings& settings);

} // namespace mirror
