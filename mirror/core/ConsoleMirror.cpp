#include "mirror/core/ConsoleMirror.h"

#include "mirror/core/ArchiveRestore.h"
#include "mirror/core/ConsoleFrontEnd.h"
#include "mirror/core/FolderListing.h"
#include "mirror/core/MirrorController.h"

#include <cerrno>
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

int runConsoleMirror(const std::string& programPath, std::ostream& out, std::ostream& err, bool progressLine)
{
    ConsoleFrontEnd console(out, err, progressLine);
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

int runConsoleRestore(
    const std::string& programPath, const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err)
{
    if (arguments.empty() || arguments.size() > 2) {
        err << "usage: RPL /RESTORE <destination> [<yyyy-mm-dd>/<hh-mm>]" << std::endl;
        return 2;
    }
    ConsoleFrontEnd console(out, err);
    MirrorController controller(programPath, FrontEnd::of(console));
    controller.setBatchMode(true);
    controller.load(); // the log file, when one is enabled, lists what came back too
    const std::string& destination = arguments[0];
    if (arguments.size() == 1) {
        int error = 0;
        const auto runs = ArchiveRestore::listRuns(destination, error);
        if (error == ENOENT && FolderListing::isFolder(destination, true))
            return 0; // nothing was ever archived there
        if (error) {
            err << "RPL: cannot read the archive of " << destination << ": " << std::strerror(error) << std::endl;
            return 1;
        }
        for (const auto& run : runs)
            out << ArchiveRestore::runLine(run) << '\n';
        out.flush();
        return out ? 0 : 1;
    }
    try {
        const int failed = controller.restore(destination, arguments[1]);
        out.flush();
        return failed == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        out.flush();
        err << e.what() << std::endl;
        return 1;
    }
}

} // namespace mirror
