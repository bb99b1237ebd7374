#include "MonitoringPlugin.h"

#include <QFileInfo>
#include <QProcess>

namespace test {

namespace {

constexpr const char* PluginFolder = "/usr/lib/nagios/plugins/";

} // namespace

bool pluginInstalled(const std::string& name)
{
    return QFileInfo(QString::fromStdString(PluginFolder + name)).isExecutable();
}

PluginRun runPlugin(const std::string& name, const QStringList& arguments)
{
    QProcess plugin;
    plugin.setProcessChannelMode(QProcess::MergedChannels);
    plugin.start(QString::fromStdString(PluginFolder + name), arguments);
    PluginRun run;
    if (!plugin.waitForFinished(30000)) {
        plugin.kill();
        plugin.waitForFinished();
        return run;
    }
    run.exitCode = plugin.exitStatus() == QProcess::NormalExit ? plugin.exitCode() : -1;
    run.output = plugin.readAll().toStdString();
    return run;
}

} // namespace test
