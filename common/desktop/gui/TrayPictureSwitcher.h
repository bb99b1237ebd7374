#pragma once

// A main window's place in the tray: the icon with the program's two painted pictures, the
// tray menu (the program's name, bold and default, restores the window; "Close" restores and
// closes it) and a double click that restores the window. A picture change takes the icon
// out of the tray and puts it back, so every tray shows the new picture.
//
// Where the desktop has no tray, "minimise to tray" minimises the window normally, so the
// window is never left unreachable.

#include "common/core/RunIndicator.h"

#include <QIcon>

#include <array>
#include <string>

class QMenu;
class QWidget;

namespace desktop {

class TTrayIcon;

class TrayPictureSwitcher final
{
public:
    // `letters` are painted into the pictures; `menuTitle` is the tray menu's first item.
    TrayPictureSwitcher(QWidget* window, const QString& letters, const QString& menuTitle);

    TTrayIcon* icon() const { return m_icon; }
    QMenu* menu() const { return m_menu; }

    // Picture and tip; the icon is (re)added to the tray.
    void show(core::TrayState state, const std::string& tip);
    core::TrayState state() const { return m_state; }

    void minimizeToTray();
    void restoreWindow();

private:
    QWidget* m_window;
    TTrayIcon* m_icon;
    QMenu* m_menu;
    std::array<QIcon, 2> m_pictures;
    core::TrayState m_state = core::TrayState::Normal;
};

} // namespace desktop
