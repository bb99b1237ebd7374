#include "monitor/core/FileManager.h"

#include "common/core/DesktopCommands.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QUrl>

#include <cstdlib>

namespace monitor {

namespace {

constexpr const char* Service = "org.freedesktop.FileManager1";
constexpr const char* Path = "/org/freedesktop/FileManager1";
constexpr const char* Interface = "org.freedesktop.FileManager1";

} // namespace

DesktopFileManager::DesktopFileManager(ProgramStarter starter)
    : m_starter(std::move(starter))
{
}

void DesktopFileManager::showItem(const std::string& path)
{
    ProgramStarter starter = m_starter;
    auto openFolder = [starter, path] { starter(core::folderCommand(path)); };
    // Without an address the bus library would try to launch a bus of its own.
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address || !*address) {
        openFolder();
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolder();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(Service), QString::fromLatin1(Path), QString::fromLatin1(Interface), "ShowItems");
    const QString uri = QUrl::fromLocalFile(QString::fromLocal8Bit(path.c_str())).toString(QUrl::FullyEncoded);
    call << QStringList { uri } << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [openFolder](QDBusPendingCallWatcher* done) {
        if (done->isError())
            openFolder();
        done->deleteLater();
    });
}

} // namespace monitor
