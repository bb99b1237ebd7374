#pragma once

// Runs one of Debian's monitoring plugins (monitoring-plugins-basic), so that a test can set
// its verdict beside ours on the same server.

#include <QStringList>

#include <string>

namespace test {

struct PluginRun
{
    int exitCode = -1; // -1 when it did not finish in 30 s or crashed
    std::string output;
    bool ok() const { return exitCode == 0; }
};

bool pluginInstalled(const std::string& name);
// `name` such as "check_http", with its arguments.
PluginRun runPlugin(const std::string& name, const QStringList& arguments);

} // namespace test
