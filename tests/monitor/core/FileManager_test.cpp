// Showing a file in the desktop's file manager: over a private session bus to a stand-in
// FileManager1 service, and the folder opened instead where no bus or no file manager answers.

#include "common/core/EventLoop.h"
#include "monitor/core/FileManager.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QObject>
#include <QProcess>
#include <QStringList>

#include <chrono>
#include <cstdlib>

using namespace std::chrono_literals;
using Words = std::vector<std::string>;

class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public slots:
    void ShowItems(const QStringList& uris, const QString&) { shown << uris; }
};

namespace {

struct Starts
{
    std::vector<Words> commands;
    monitor::ProgramStarter starter()
    {
        return [this](const Words& command) {
            commands.push_back(command);
            return 0;
        };
    }
};

} // namespace

// First, before any bus is known: the folder opens at once.
TEST(FileManager, WithoutASessionBusTheFolderOpens)
{
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    Starts starts;
    monitor::DesktopFileManager manager(starts.starter());
    manager.showItem("/var/log/SEN export.TXT");
    EXPECT_EQ(starts.commands, (std::vector<Words> { { "xdg-open", "/var/log" } }));
}

TEST(FileManager, TheFileManagerOfTheSessionBusSelectsTheFile)
{
    QProcess bus;
    bus.start("dbus-daemon", { "--session", "--nofork", "--print-address=1" });
    if (!bus.waitForStarted(10000))
        GTEST_SKIP() << "dbus-daemon is not installed";
    ASSERT_TRUE(bus.waitForReadyRead(10000));
    const QByteArray address = bus.readLine().trimmed();
    setenv("DBUS_SESSION_BUS_ADDRESS", address.constData(), 1);

    // No file manager on the bus: the call fails and the folder opens.
    Starts starts;
    monitor::DesktopFileManager manager(starts.starter());
    manager.showItem("/srv/a b/EXPORT.TXT");
    core::waitFor([&] { return !starts.commands.empty(); }, 20s);
    EXPECT_EQ(starts.commands, (std::vector<Words> { { "xdg-open", "/srv/a b" } }));

    {
        QDBusConnection service = QDBusConnection::connectToBus(QString::fromLatin1(address), "file-manager");
        ASSERT_TRUE(service.isConnected());
        FakeFileManager fake;
        ASSERT_TRUE(service.registerObject("/org/freedesktop/FileManager1", &fake, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(service.registerService("org.freedesktop.FileManager1"));
        starts.commands.clear();
        manager.showItem("/srv/a b/EXPORT.TXT");
        core::waitFor([&] { return !fake.shown.isEmpty(); }, 20s);
        EXPECT_EQ(fake.shown, QStringList { "file:///srv/a%20b/EXPORT.TXT" });
        core::waitFor([] { return false; }, 100ms); // the reply arrives; nothing else starts
        EXPECT_TRUE(starts.commands.empty());
        service.unregisterService("org.freedesktop.FileManager1");
    }
    QDBusConnection::disconnectFromBus("file-manager");
    bus.terminate();
    bus.waitForFinished(10000);
}

#include "FileManager_test.moc"
