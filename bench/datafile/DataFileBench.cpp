// Loads and saves a monitor data file of 1,000 destinations (6,000 row keys) through the
// monitor's controller, and prints the times beside the same keys read and written one at a
// time through the INI store's plain ReadText/WriteText, in the same run. The target is 100 ms
// for each load and save.

#include "common/core/ActivityOutlet.h"
#include "common/core/Asker.h"
#include "common/core/RunIndicator.h"
#include "common/desktop/IniFile.h"
#include "monitor/core/MonitorController.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int Rows = 1000;
constexpr double TargetMs = 100.0;

struct Quiet : core::ActivityOutlet, core::Asker, core::RunIndicator, monitor::SettingsView, monitor::TestView
{
    void appendActivityLine(const std::string&) override { }
    void setActivityText(const std::string&) override { }
    void showMessage(const std::string&) override { }
    bool askOkCancel(const std::string&, const std::string&) override { return false; }
    bool askYesNo(const std::string&, const std::string&) override { return false; }
    void setBusy(bool) override { }
    void setTrayState(core::TrayState, const std::string&) override { }
    void showDataFile(const std::string&) override { }
    void showSettings() override { }
    void showTimerHint(const std::string&) override { }
    void showTesting(bool) override { }
    bool isForeground() const override { return false; }
};

struct Key
{
    std::string section, key, value;
};

std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The keys of a file in file order, as the peer reads and writes them.
std::vector<Key> keysOf(const fs::path& path)
{
    std::vector<Key> keys;
    std::istringstream in(slurp(path));
    std::string section;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > 1 && line.front() == '[') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        const size_t equals = line.find('=');
        if (equals != std::string::npos)
            keys.push_back({ section, line.substr(0, equals), line.substr(equals + 1) });
    }
    return keys;
}

// Makes the store's parsed copy stale, as a program start finds it.
void touchAsAnotherWriter(const fs::path& path)
{
    const std::string bytes = slurp(path);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

double timeMs(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

constexpr int Repeats = 7;

// The median of several runs, each prepared outside the timing.
double medianMs(const std::function<void()>& prepare, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < Repeats; ++i) {
        prepare();
        times.push_back(timeMs(work));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

bool missed = false;

void report(const char* what, double oursMs, double peerMs)
{
    const bool ok = oursMs < TargetMs;
    missed = missed || !ok;
    std::printf("%-48s %8.1f ms   peer %8.1f ms   ours/peer %5.2f   [< 100 ms: %s]\n",
        what,
        oursMs,
        peerMs,
        oursMs / peerMs,
        ok ? "ok" : "MISSED");
}

void fill(monitor::MonitorController& controller)
{
    for (int i = 1; i <= Rows; ++i) {
        const int host = (i * 7919) % Rows + 1; // not in name or address order
        monitor::Destination row = monitor::Destination::added("host" + std::to_string(host) + ".office.lan",
            "127.0." + std::to_string(host / 250) + "." + std::to_string(host % 250),
            host % 4 ? "HTTP" : "PING",
            host % 4 ? "80" : "");
        row.SubItems[3] = host % 5 ? "OK" : "Fail";
        row.SubItems[4] = "11/30/26 10:15:00 AM  [1,234 ms]";
        controller.list().append(std::move(row));
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const fs::path dir = fs::temp_directory_path() / ("datafile-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    Quiet quiet;
    const monitor::FrontEnd roles = monitor::FrontEnd::of(quiet);
    const fs::path ours = dir / "ours.SEN";
    const fs::path peer = dir / "peer.SEN";

    monitor::MonitorController writer((dir / "SEN").string(), roles);
    writer.start({});
    writer.list().ApplySort(monitor::SortMode::None);
    fill(writer);
    writer.SetDataFile(ours.string());

    // Save into a new file.
    writer.save();
    const std::vector<Key> keys = keysOf(ours);
    const double saveNew = medianMs([&] { fs::remove(ours); }, [&] { writer.save(); });
    auto peerSave = [&] {
        desktop::TIniFile ini(peer.string());
        for (const Key& k : keys)
            ini.WriteText(k.section, k.key, k.value);
    };
    const double peerSaveNew = medianMs([&] { fs::remove(peer); }, peerSave);
    std::printf("data file of %d destinations: %zu keys, %zu KB\n",
        Rows,
        keys.size(),
        static_cast<size_t>(fs::file_size(ours) / 1024));
    if (slurp(ours) != slurp(peer)) {
        std::printf("the two files differ\n");
        missed = true;
    }
    report("save into a new file", saveNew, peerSaveNew);

    // Save again after a test pass changed every row's last attempt.
    for (int row = 0; row < writer.list().count(); ++row) {
        monitor::Destination changed = writer.list().at(row);
        changed.SubItems[4] = "12/1/26 9:05:33 AM  [87 ms]";
        writer.list().update(row, std::move(changed));
    }
    const std::string before = slurp(ours);
    writer.save();
    const std::vector<Key> changedKeys = keysOf(ours);
    const std::string peerBefore = slurp(peer);
    auto restore = [](const fs::path& path, const std::string& text) {
        return [path, text] { std::ofstream(path, std::ios::binary | std::ios::trunc) << text; };
    };
    const double saveAgain = medianMs(restore(ours, before), [&] { writer.save(); });
    const double peerSaveAgain = medianMs(restore(peer, peerBefore), [&] {
        desktop::TIniFile ini(peer.string());
        for (const Key& k : changedKeys)
            ini.WriteText(k.section, k.key, k.value);
    });
    report("save over it after a test pass", saveAgain, peerSaveAgain);

    // Load, unsorted and sorted by name, each from a file the store has not seen yet.
    size_t bytes = 0;
    auto peerLoad = [&] {
        const desktop::TIniFile ini(peer.string());
        for (const Key& k : changedKeys)
            bytes += ini.ReadText(k.section, k.key, "").size();
    };
    for (int sortList : { 0, 1 }) {
        desktop::TIniFile(ours.string()).WriteNumber("DestList", "SortList", sortList);
        monitor::MonitorController reader((dir / "SEN").string(), roles);
        reader.SetDataFile(ours.string());
        const double load = medianMs(
            [&] {
                reader.list().clear();
                touchAsAnotherWriter(ours);
            },
            [&] {
                reader.load();
                reader.loadActions();
            });
        const double peerLoadMs = medianMs([&] { touchAsAnotherWriter(peer); }, peerLoad);
        if (reader.list().count() != Rows) {
            std::printf("loaded %d rows\n", reader.list().count());
            missed = true;
        }
        report(sortList ? "load, sort by name" : "load, not sorted", load, peerLoadMs);
    }
    std::printf(
        "(medians of %d runs; peer: the same keys, one ReadText or WriteText each; %zu bytes read)\n", Repeats, bytes);
    fs::remove_all(dir);
    return missed ? 1 : 0;
}
