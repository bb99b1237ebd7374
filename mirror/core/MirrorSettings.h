#pragma once

// Every value of the mirror's settings file (section "RPL" of RPL.INI beside the program),
// with the defaults a missing file or key gives, and its load and save in the file's key order.

#include "mirror/core/FolderPairList.h"

#include <string>

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
    bool activePageStatus = false;
    FolderPairList folders;
};

// Reads the file; never fails (absent file, keys or malformed entries give defaults).
// `settings` supplies the in-memory value of TimeDifTolerance used as its default.
void loadMirrorSettings(const std::string& iniPath, const std::string& programPath, MirrorSettings& settings);

// Writes every key in the file's order. Throws desktop::EIniFileException ("Unable to write to <path>")
// at the first refused write; the keys before it stay written.
void saveMirrorSettings(const std::string& iniPath, const MirrorSettings& settings);

} // namespace mirror
