// Loads and saves a monitor-sized data file (6,000 keys in three sections) one key at a time, as
// both programs do, and prints the times beside those of a store without a parsed copy, which
// reads the whole file for every read and rewrites it for every write.

#include "common/desktop/IniDocument.h"
#include "common/desktop/IniFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

using desktop::IniDocument;
using desktop::TIniFile;

namespace {

using desktop::IniDocument;
using desktop::TIniFile;

struct Key
{
    std::string section, key, value;
};

constexpr int KeyCount = 6000;
constexpr double TargetMs = 200.0;

// 24 program options, 18 alert actions, then rows of six keys each, as the monitor writes them.
// `order` lists the rows' host numbers in list order; `failing` picks the rows whose test failed.
std::vector<Key> dataFile(const std::vector<int>& order, const std::string& stamp, int failing)
{
    std::vector<Key> keys;
    for (int i = 0; i < 24; ++i)
        keys.push_back({ "SEN", "Option" + std::to_string(i), std::to_string(i * 7) });
    for (int i = 0; i < 18; ++i)
        keys.push_back({ "Actions", "Action" + std::to_string(i), "/usr/bin/true %H %S" });
    keys.push_back({ "DestList", "DestCount", std::to_string(order.size()) });
    for (size_t row = 1; row <= order.size(); ++row) {
        const std::string n = std::to_string(row);
        const int host = order[row - 1];
        keys.push_back({ "DestList", "NAME" + n, "host" + std::to_string(host) + ".example.lan" });
        keys.push_back(
            { "DestList", "IP" + n, "127.0." + std::to_string(host / 250) + "." + std::to_string(host % 250) });
        keys.push_back({ "DestList", "Service" + n, host % 4 ? "HTTP" : "PING" });
        keys.push_back({ "DestList", "Port" + n, host % 4 ? "80" : "0" });
        keys.push_back({ "DestList", "Stat" + n, host % failing ? "OK" : "Fail" });
        keys.push_back({ "DestList", "Last" + n, stamp });
    }
    while (keys.size() < KeyCount)
        keys.push_back({ "DestList", "Spare" + std::to_string(keys.size()), "x" });
    return keys;
}

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The peer: every operation is one complete look-up in, or one complete rewrite of, the file.
struct WholeFileStore
{
    std::string path;
    std::string read(const Key& k) const
    {
        const auto v = IniDocument(slurp(path)).value(k.section, k.key);
        return v ? std::string(*v) : std::string();
    }
    void write(const Key& k) const
    {
        IniDocument doc(slurp(path));
        if (doc.set(k.section, k.key, k.value).kind == IniDocument::Edit::Unchanged && std::filesystem::exists(path))
            return;
        const std::string temp = path + ".tmp";
        std::ofstream(temp, std::ios::binary | std::ios::trunc) << doc.text();
        std::filesystem::rename(temp, path);
    }
};

double timeMs(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Makes the store's parsed copy stale, as a program start finds it: the file is the same but was
// written by someone else.
void touchAsAnotherWriter(const std::string& path)
{
    const std::string bytes = slurp(path);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

bool failures = false;

void report(const char* what, double storeMs, double peerMs, bool bounded)
{
    std::printf("%-44s %9.1f ms %7.2f us/key   peer %9.1f ms   peer/store %7.1f%s\n",
        what,
        storeMs,
        storeMs * 1000.0 / KeyCount,
        peerMs,
        peerMs / storeMs,
        bounded ? (storeMs < TargetMs ? "   [< 200 ms: ok]" : "   [< 200 ms: MISSED]") : "");
    if (bounded && storeMs >= TargetMs)
        failures = true;
}

struct Case
{
    const char* name;
    std::function<void(const std::string&)> prepare;
    std::function<void(const std::string&)> store;
    std::function<void(const std::string&)> peer;
    bool bounded;
};

} // namespace

int main()
{
    const std::filesystem::path dir
        = std::filesystem::temp_directory_path() / ("ini-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::vector<int> order;
    for (int host = 1; order.size() * 6 + 43 <= KeyCount; ++host)
        order.push_back(host);
    const std::vector<Key> first = dataFile(order, "11/30/2026 10:15:00 AM", 3);
    // After another test pass every row has a new stamp (of another length) and other rows fail.
    const std::vector<Key> nextPass = dataFile(order, "12/1/2026 9:05:33 AM", 5);
    std::vector<int> sorted = order;
    std::sort(sorted.begin(), sorted.end(), [](int a, int b) { return std::to_string(a) < std::to_string(b); });
    const std::vector<Key> resorted = dataFile(sorted, "11/30/2026 10:15:00 AM", 3);

    auto save = [](const std::vector<Key>& keys) {
        return [&keys](const std::string& path) {
            TIniFile ini(path);
            for (const Key& k : keys)
                ini.WriteText(k.section, k.key, k.value);
        };
    };
    auto peerSave = [](const std::vector<Key>& keys) {
        return [&keys](const std::string& path) {
            const WholeFileStore peer { path };
            for (const Key& k : keys)
                peer.write(k);
        };
    };
    size_t loaded = 0;
    auto load = [&](const std::string& path) {
        const TIniFile ini(path);
        for (const Key& k : first)
            loaded += ini.ReadText(k.section, k.key, "").size();
    };
    auto peerLoad = [&](const std::string& path) {
        const WholeFileStore peer { path };
        for (const Key& k : first)
            loaded += peer.read(k).size();
    };
    auto fresh = [](const std::string& path) { std::filesystem::remove(path); };
    auto saved = [&](const std::string& path) {
        fresh(path);
        save(first)(path);
        touchAsAnotherWriter(path);
    };

    const std::vector<Case> cases = {
        { "save 6,000 keys into a new file", fresh, save(first), peerSave(first), true },
        { "save 6,000 unchanged keys", saved, save(first), peerSave(first), true },
        { "load 6,000 keys (file parsed once)", saved, load, peerLoad, true },
        { "save after a test pass (Stat, Last changed)", saved, save(nextPass), peerSave(nextPass), true },
        { "save after sorting the list (rows moved)", saved, save(resorted), peerSave(resorted), true },
    };
    std::printf("INI store, %d keys, file of about %zu KB, one operation per key\n", KeyCount, [&] {
        saved((dir / "size.ini").string());
        return static_cast<size_t>(std::filesystem::file_size(dir / "size.ini") / 1024);
    }());
    for (const Case& c : cases) {
        const std::string storePath = (dir / "store.ini").string();
        const std::string peerPath = (dir / "peer.ini").string();
        c.prepare(storePath);
        const double storeMs = timeMs([&] { c.store(storePath); });
        c.prepare(peerPath);
        const double peerMs = timeMs([&] { c.peer(peerPath); });
        if (slurp(storePath) != slurp(peerPath)) {
            std::printf("%s: the files differ\n", c.name);
            failures = true;
        }
        report(c.name, storeMs, peerMs, c.bounded);
    }
    std::filesystem::remove_all(dir);
    return failures ? 1 : 0;
}
