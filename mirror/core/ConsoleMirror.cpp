#include "mirror/core/ConsoleMirror.h"

#include "mirror/core/ConsoleFrontEnd.h"
#include "mirror/core/MirrorController.h"

#include <cstring>
#include <exception>

namespace mirror {

namespace {

bool hasEnabledPair(const FolderPairList& folders)
{
    for (const FolderPair& pair : folders.items())
        if (pair.enabled && pair.split())
            return true;
    return false;
}

} // namespace

int runConsoleMirror(const std::string& programPath, std::ostream& out, std::ostream& err)
{
    ConsoleFrontEnd console(out, err);
    MirrorController controller(programPath, FrontEnd::of(console));
    controller.setBatchMode(true);
    const SettingsLoad loaded = controller.load();
    const std::string path = controller.settingsPath();
    if (loaded.fileError) {
        err << "RPL: cannot read the settings file " << path << ": " << std::strerror(loaded.fileError)
            << "; nothing was mirrored." << std::endl;
        return 1;
    }
    for (const std::string& entry : loaded.skippedEntries)
        err << "RPL: not a folder pair, skipped: " << entry << " (in " << path << ")" << std::endl;
    if (!hasEnabledPair(controller.settings().folders)) {
        err << "RPL: no enabled folder pair in the settings file " << path << "; nothing was mirrored." << std::endl;
        return 1;
    }
    try {
        controller.RunMirror();
    } catch (const std::exception& e) {
        out.flush();
        err << e.what() << std::endl;
        return 1;
    }
    out.flush();
    const bool clean = controller.engine().status().errorCount() == 0 && console.messageCount() == 0;
    return clean && loaded.skippedEntries.empty() ? 0 : 1;
}

} // namespace mirror
