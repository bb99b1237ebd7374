// Saving the data file in a hostile world: a full disk leaves the old file whole, two processes
// saving one file lose no key and leave no scratch file, values of any length survive, and a
// file that is not text is never written over.

#include "ControllerFixture.h"

#include "common/desktop/IniBatch.h"
#include "common/desktop/IniDocument.h"
#include "tests/support/PrivateNamespace.h"

#include <random>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

using namespace monitor;

namespace {

int hiddenEntries(const fs::path& folder)
{
    int count = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        count += entry.path().filename().string().starts_with(".") ? 1 : 0;
    return count;
}

std::string storedRows(int count)
{
    std::string rows = "[DestList]\r\nDestCount=" + std::to_string(count) + "\r\n";
    for (int n = 1; n <= count; ++n) {
        const std::string i = std::to_string(n);
        rows += "NAME" + i + "=host " + i + "\r\nIP" + i + "=127.0.0.1\r\nService" + i + "=TCP\r\nPort" + i
            + "=80\r\nStat" + i + "=na\r\nLast" + i + "=\r\n";
    }
    return rows;
}

void setAllRows(DestinationList& list, const std::string& status, const std::string& last)
{
    for (int row = 0; row < list.count(); ++row) {
        Destination d = list.at(row);
        d.SubItems[3] = status;
        d.SubItems[4] = last;
        list.update(row, std::move(d));
    }
}

} // namespace

TEST_F(ControllerFixture, AFullDiskLeavesTheOldFileWhole)
{
    RUN_IN_PRIVATE_MOUNTS();
    const fs::path disk = dir / "disk";
    fs::create_directories(disk);
    test::mustRun("mount -t tmpfs -o size=256k tmpfs " + disk.string());
    const fs::path data = disk / "net.SEN";
    test::writeFile(data, storedRows(150));
    const std::string before = test::readFile(data);
    open(CommandLine { false, data.string() });
    setAllRows(controller->list(), "OK", "6/12/26 2:05:09 PM  [1 ms]");

    // The disk filled up to less than a file's worth.
    const fs::path filler = disk / "filler";
    {
        std::FILE* f = std::fopen(filler.c_str(), "w");
        const std::string chunk(4096, 'f');
        while (std::fwrite(chunk.data(), 1, chunk.size(), f) == chunk.size() && std::fflush(f) == 0) {
        }
        std::fclose(f);
        fs::resize_file(filler, fs::file_size(filler) - 4096);
    }
    EXPECT_THROW(controller->save(), desktop::EIniFileException);
    EXPECT_EQ(test::readFile(data), before);
    EXPECT_EQ(hiddenEntries(disk), 0);

    fs::remove(filler);
    controller->save();
    EXPECT_NE(test::readFile(data).find("Stat150=OK\r\nLast150=6/12/26 2:05:09 PM  [1 ms]\r\n"), std::string::npos);
    EXPECT_EQ(hiddenEntries(disk), 0);
    test::mustRun("umount " + disk.string());
}

// Each writer's rows carry its letter in every key: a file holding keys of both is torn.
TEST_F(ControllerFixture, TwoProcessesSavingOneFileLoseNoKey)
{
    constexpr int Rows = 40;
    constexpr int Saves = 60;
    const auto writer = [this](char letter) {
        const pid_t pid = ::fork();
        if (pid != 0)
            return pid;
        open();
        controller->list().clear(); // what the other writer saved already
        const std::string mark(1, letter);
        for (int n = 1; n <= Rows; ++n)
            controller->list().append(row(mark + std::to_string(n), "127.0.0.1", "TCP", "80"));
        setAllRows(controller->list(), mark, mark + mark);
        int failed = 0;
        for (int i = 0; i < Saves; ++i) {
            try {
                controller->save();
            } catch (const std::exception&) {
                ++failed;
            }
        }
        ::_exit(failed == 0 ? 0 : 1);
    };
    const auto torn = [](const std::string& text) -> std::string {
        const desktop::IniDocument file(text);
        if (file.value("DestList", "DestCount") != std::to_string(Rows))
            return "DestCount";
        const std::string mark = std::string(file.value("DestList", "NAME1").value_or("?")).substr(0, 1);
        for (int n = 1; n <= Rows; ++n) {
            const std::string i = std::to_string(n);
            if (file.value("DestList", "NAME" + i) != mark + i || file.value("DestList", "Stat" + i) != mark
                || file.value("DestList", "Last" + i) != mark + mark)
                return "row " + i;
        }
        return {};
    };

    const pid_t first = writer('a');
    const pid_t second = writer('b');
    int reads = 0;
    std::string tornText;
    int status = 0;
    for (int alive = 2; alive > 0;) {
        const std::string text = test::readFile(ini);
        if (!text.empty()) {
            ++reads;
            if (tornText.empty() && !torn(text).empty())
                tornText = torn(text) + " torn in:\n" + text;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        for (const pid_t pid : { first, second }) {
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                --alive;
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            }
        }
    }
    EXPECT_GT(reads, 0);
    EXPECT_EQ(tornText, "");
    EXPECT_EQ(torn(test::readFile(ini)), "");
    EXPECT_EQ(hiddenEntries(dir.path()), 0);
}

TEST_F(ControllerFixture, ValuesOfAnyLengthSurviveALoadAndASave)
{
    std::string recipients;
    for (int n = 0; recipients.size() < 5000; ++n)
        recipients += "admin" + std::to_string(n) + "@example.test; ";
    const std::string name(5000, 'n');
    test::writeFile(ini, "[Actions]\r\nEmailAddress=" + recipients + "x\r\n[DestList]\r\nDestCount=1\r\nNAME1=" + name + "\r\n");
    open();
    EXPECT_EQ(controller->settings().actions.emailAddress, recipients + "x");
    controller->save();
    const std::string saved = test::readFile(ini);
    EXPECT_NE(saved.find("\r\nEmailAddress=" + recipients + "x\r\n"), std::string::npos);
    EXPECT_NE(saved.find("\r\nNAME1=" + name + "\r\n"), std::string::npos);
}

TEST_F(ControllerFixture, ASaveNeverWritesOverAFileThatIsNotText)
{
    static constexpr char withNul[] = "[SEN]\r\nEnableTimer=1\r\n\0\0\0\0tail\r\n";
    std::string random(4096, '\0');
    std::mt19937 generator(21);
    for (char& c : random)
        c = static_cast<char>(generator());
    std::string utf16 = "\xff\xfe";
    for (const char c : std::string("[SEN]\r\nEnableTimer=1\r\n"))
        utf16 += std::string { c, '\0' };
    const struct
    {
        const char* name;
        std::string text;
    } cases[] = {
        { "NUL bytes", std::string(withNul, sizeof withNul - 1) },
        { "UTF-16", utf16 },
        { "random bytes", random },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeFile(ini, c.text);
        open();
        try {
            controller->save();
            ADD_FAILURE() << "saved";
        } catch (const desktop::EIniFileException& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + ini.string() + " (not a text file)");
        }
        EXPECT_EQ(test::readFile(ini), c.text);
    }
    // Bytes of an 8-bit code page, tabs, escapes and an old end-of-file mark are text.
    EXPECT_TRUE(desktop::IniBatch::isText("[S]\r\n\tKey=\xe9t\xe9\x1b\r\n\x1a"));
}
