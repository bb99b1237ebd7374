#pragma once

// A source and a destination tree under a fresh temporary folder, one enabled pair between
// them, and an engine with a pinned clock, so the DELETED folder's name is known.

#include "RecordingFrontEnd.h"

#include "mirror/core/MirrorEngine.h"
#include "mirror/core/MirrorSettings.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace mirror;

struct MirrorFixture : ::testing::Test
{
    test::TempDir dir;
    fs::path source = dir / "source";
    fs::path destination = dir / "mirror";
    MirrorSettings settings;
    RecordingFrontEnd frontEnd;
    core::StopFlag stop { true };
    MirrorEngine engine { settings, frontEnd.roles(), stop };
    time_t clock = 0;

    void SetUp() override
    {
        fs::create_directories(source);
        settings.folders.add(source.string(), destination.string());
        tm local {};
        local.tm_year = 2026 - 1900;
        local.tm_mon = 2;
        local.tm_mday = 14;
        local.tm_hour = 9;
        local.tm_min = 30;
        local.tm_isdst = -1;
        clock = mktime(&local);
        engine.setClock([this] { return static_cast<long long>(clock); });
    }

    void run() { engine.RunMirror(); }
    fs::path deleted() const { return destination / "DELETED" / "2026-03-14" / "09-30"; }

    static void write(const fs::path& path, const std::string& bytes, time_t mtime = 1700000000)
    {
        test::writeFile(path, bytes);
        setMtime(path, mtime);
    }
    static void setMtime(const fs::path& path, time_t mtime)
    {
        const timespec times[2] = { { mtime, 0 }, { mtime, 0 } };
        utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
    static time_t mtimeOf(const fs::path& path)
    {
        struct stat st
        {
        };
        lstat(path.c_str(), &st);
        return st.st_mtim.tv_sec;
    }
    static std::string read(const fs::path& path) { return test::readFile(path); }

    bool loggedLine(const std::string& line) const
    {
        for (const auto& l : frontEnd.activityLines)
            if (l == line)
                return true;
        return false;
    }
    bool statusLine(const std::string& line) const
    {
        for (const auto& l : frontEnd.statusLines)
            if (l == line)
                return true;
        return false;
    }
    std::vector<std::string> errorLines() const
    {
        std::vector<std::string> errors;
        for (const auto& l : frontEnd.activityLines)
            if (l.rfind(" *** ERROR! ", 0) == 0)
                errors.push_back(l);
        return errors;
    }
};
