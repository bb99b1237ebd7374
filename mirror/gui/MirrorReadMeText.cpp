#include "mirror/gui/MirrorReadMeText.h"

#include "mirror/core/CommandLine.h"

#include <initializer_list>

namespace mirror {

namespace {

std::string joinLines(std::initializer_list<const char*> lines)
{
    std::string text;
    for (const char* line : lines) {
        if (!text.empty())
            text += '\n';
        text += line;
    }
    return text;
}

} // namespace

std::string mirrorReadMeText()
{
    return joinLines({
        VersionText,
        "~~~~~~~~~~~~~~~~~~",
        "",
        "RPL keeps mirror copies of folders. It is meant as one part of the backup plan of a small "
        "office network: it makes a destination path an exact copy of a chosen drive or folder, "
        "typically of a network share on the server copied to a folder on a large local disk of a "
        "workstation.",
        "",
        "HOW A RUN WORKS",
        "",
        "Every enabled folder pair of the list is mirrored in list order, folder by folder, in two "
        "phases:",
        "  1. Files and folders on the destination that no longer exist on the source are deleted.",
        "  2. Files of the source are copied when they are missing on the destination or differ from "
        "the destination copy in time stamp or size. Then the sub-folders are handled the same way.",
        "Files are compared by time stamp and size only; their contents are never read for that.",
        "",
        "WARNING: the destination is overwritten by the source. Whatever the source does not have is "
        "taken out of the destination. The destination must therefore be a folder dedicated to this "
        "purpose, never something like the root of a disk or a home folder. A pair whose destination "
        "lies inside its source, or the other way round, is refused.",
        "",
        "HOW RPL DIFFERS FROM A PLAIN COPY",
        "",
        "A copy command such as cp -r only adds and overwrites. RPL also deletes from the destination "
        "what the source no longer has, so the destination stays a true image of the source. To guard "
        "against mistakes it never deletes anything for good where it can help it: removed files and "
        "folders, and the old copies of changed files, go either into the DELETED sub-folder of the "
        "destination, under the date and time of the run (DELETED/yyyy-mm-dd/hh-mm/...), or to the "
        "trash of the desktop. Choose under \"Deleted Files Protection\"; in this Linux build the "
        "option \"Delete to Recycle Bin (if applicable)\" means the desktop's trash, and where no "
        "trash can take an item it goes into the DELETED sub-folder instead; nothing is deleted "
        "for good. "
        "The price is disk space: empty the trash and clear out old DELETED folders now and then. "
        "Folders named DELETED in a destination are never removed.",
        "Each run lists what it moved into DELETED in the file .manifest.tsv there. \"Restore...\" on "
        "the \"Status\" page (for the pair selected on the \"Settings\" page), or RPL /RESTORE "
        "<destination> on a command line, lists the archived runs; RPL /RESTORE <destination> "
        "<yyyy-mm-dd>/<hh-mm> moves one run's items back. Nothing is overwritten: an item whose place "
        "is taken comes back beside it, as \"name (restored yyyy-mm-dd hh-mm).ext\".",
        "",
        "LEAVING THINGS OUT",
        "",
        "\"Exclude (all pairs)\" and \"Exclude (this pair)\" on the \"Settings\" page take patterns "
        "as a .gitignore file does, separated by semicolons: *.tmp matches at any depth, cache/ only "
        "folders, /build/ only at the top of the pair, **/node_modules/ at any depth, and !keep.tmp "
        "takes an item back; the last pattern that matches decides. What a pair leaves out is neither "
        "copied nor removed from the destination, and the log counts it. A pattern that cannot be "
        "read stops its pair.",
        "",
        "WHO IT IS FOR",
        "",
        "RPL was made for small networks with a single server and one workstation that has room for "
        "an image of the important data of the server.",
        "A note for administrators: the mirror holds the same data as the server, so guard it the "
        "same way (permissions on the destination folder, who may log on to the workstation). Keep "
        "users from working in the destination folder: the next run deletes or overwrites their "
        "changes.",
        "",
        "BATCH MODE",
        "",
        "Started with the /batch switch (capital or small letters), RPL loads its settings from its "
        "INI file, mirrors every enabled pair once and exits. Set up the pairs in the window first: "
        "the settings are saved in RPL.INI beside the program when the window closes (a batch run "
        "never saves them).",
        "With a display, a batch run shows its progress in the window, and its message boxes wait for "
        "an answer. Add /console, or start it where there is no display (as cron does), and the run "
        "needs no window: status lines go to the standard output, messages to the standard error, "
        "and the exit status is 1 when an error occurred.",
        "Example crontab line, mirroring every night at half past ten:",
        "  30 22 * * *  /opt/rpl/RPL /BATCH /CONSOLE",
        "or, on a machine without a display:",
        "  30 22 * * *  /opt/rpl/RPL /BATCH",
        "The /tray switch starts the program hidden in the tray (minimised where the desktop has no "
        "tray).",
        "",
        "KNOWN ISSUES",
        "",
        "- Time stamps of files copied between different operating systems or file systems (a "
        "Windows share, a FAT disk, a Linux disk) may differ by a second or a few. Files of equal "
        "size whose time stamps differ by no more than a tolerance therefore count as unchanged. The "
        "tolerance is the key TimeDifTolerance in RPL.INI. It is counted on time stamps packed as on a "
        "FAT disk, in two-second steps; the default of 10 covers the usual differences of a few "
        "seconds.",
        "- The archive attribute is ignored.",
        "- A destination file newer than its source is still overwritten, without a question; a "
        "warning line in the \"Status\" page tells of it.",
        "",
        "PLANNED ADDITIONS",
        "",
        "- A choice of what to do with destination files newer than their source.",
        "- Keeping the DELETED folders within an age or size limit.",
        "",
        "VERSION HISTORY, NEWEST FIRST",
        "",
        "- Exclusion patterns; a manifest of each archived run and a way to restore it; progress "
        "in the window and on a terminal; up to eight files copied at once.",
        "- A report mail at the end of a run, with the summary in its text and the log file attached "
        "on request.",
        "- SkipCopyFolderError (a key in RPL.INI) now also covers a missing source folder.",
        "- Optional log file.",
        "- New key SkipCopyFolderError: a folder that cannot be copied is logged and passed over "
        "instead of ending the run. Fixed: the DELETED option was not always selected at start-up.",
        "- Several folder pairs in one list.",
        "- The \"Minimize to Tray\" button, the tray icon and the /tray switch.",
        "- Batch mode; the name of the settings file is shown on the Settings page.",
        "- \"Select Folder...\" buttons.",
        "- First release.",
    });
}

desktop::ReadMeOptions mirrorReadMeOptions()
{
    desktop::ReadMeOptions options;
    options.caption = "RPL - ReadMe";
    options.text = mirrorReadMeText();
    options.width = 527;
    options.height = 400;
    options.fontPixelHeight = 11;
    options.readOnly = true;
    options.escapeHides = true;
    return options;
}

} // namespace mirror
