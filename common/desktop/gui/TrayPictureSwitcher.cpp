#include "common/desktop/gui/TrayPictureSwitcher.h"

#include "common/desktop/gui/TrayIcon.h"
#include "common/desktop/gui/TrayPictures.h"

#include <QMenu>
#include <QWidget>

namespace desktop {

TrayPictureSwitcher::TrayPictureSwitcher(QWidget* window, const QString& letters, const QString& menuTitle)
    : m_window(window)
    , m_icon(new TTrayIcon(window))
    , m_menu(new QMenu(window))
    , m_pictures(makeTrayPictures(letters))
{
    QAction* restore = m_menu->addAction(menuTitle, window, [this] { restoreWindow(); });
    QFont bold = restore->font();
    bold.setBold(true);
    restore->setFont(bold);
    m_menu->setDefaultAction(restore);
    m_menu->addAction(QStringLiteral("Close"), window, [this] {
        restoreWindow();
        m_window->close();
    });
    m_icon->setPopupMenu(m_menu);
    m_icon->OnDblClick = [this](TTrayIcon&) { restoreWindow(); };
}

void TrayPictureSwitcher::show(core::TrayState state, const std::string& tip)
{
    m_state = state;
    m_icon->setTip(tip);
    m_icon->setIcon(m_pictures[state == core::TrayState::Normal ? 0 : 1]);
    m_icon->RemoveFromTray();
    m_icon->AddToTray();
}

void TrayPictureSwitcher::minimizeToTray()
{
    if (TTrayIcon::available() && m_icon->isInTray())
        m_window->hide();
    else
        m_window->showMinimized();
}

void TrayPictureSwitcher::restoreWindow()
{
    m_window->showNormal();
    m_window->raise();
    m_window->activateWindow();
}

} // namespace desktop
