#include "DualStackNetwork.h"

#include "PrivateNamespace.h"
#include "TempDir.h"

#include <filesystem>
#include <sstream>
#include <stdexcept>

#include <unistd.h>

namespace test::dualstack {

namespace {

// Unique-local addresses ahead of IPv4, as RFC 6724's table does not put them by itself; the
// rest of the lines are the default table.
constexpr const char* GaiConf = "precedence ::1/128 50\n"
                                "precedence fc00::/7 45\n"
                                "precedence ::/0 40\n"
                                "precedence ::ffff:0:0/96 35\n"
                                "precedence 2002::/16 30\n"
                                "precedence 2001::/32 5\n";

constexpr const char* Hosts = "127.0.0.1 localhost v4only.test\n"
                              "::1 v6only.test\n"
                              "fd00:24::1 v6only.test\n"
                              "fd00:24::dead both.test\n"
                              "127.0.0.1 both.test\n";

// Lays `text` over the system file `path` for this mount namespace only.
void overlay(const std::string& path, const std::string& text)
{
    if (!std::filesystem::exists(path))
        throw std::runtime_error(path + " is missing (Debian's libc-bin brings it)");
    const std::filesystem::path file = std::filesystem::temp_directory_path()
        / ("dualstack-" + std::to_string(::getpid()) + "-" + std::filesystem::path(path).filename().string());
    writeFile(file, text);
    mustRun("mount --bind " + file.string() + " " + path);
    // The mount holds the file; the name is not needed any more.
    std::filesystem::remove(file);
}

} // namespace

void setUp()
{
    if (!insidePrivateNamespace())
        throw std::runtime_error("the dual-stack network needs a private namespace");
    mustRun("ip link set lo up");
    mustRun("ip -6 addr add " + Ula + "/128 dev lo");
    mustRun("ip -6 addr add " + Dead + "/128 dev lo");
    mustRun("ip6tables -A INPUT -d " + Dead + " -j DROP");
    overlay("/etc/hosts", Hosts);
    overlay("/etc/gai.conf", GaiConf);
}

long droppedPackets()
{
    std::string output;
    if (runCommand({ "ip6tables", "-L", "INPUT", "-v", "-x", "-n" }, &output) != 0)
        return -1;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        long packets = 0;
        std::string bytes;
        std::string target;
        if (fields >> packets >> bytes >> target && target == "DROP" && line.find(Dead) != std::string::npos)
            return packets;
    }
    return -1;
}

} // namespace test::dualstack
