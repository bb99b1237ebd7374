#include "common/desktop/gui/TrayIcon.h"

#include <QApplication>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QWidget>

namespace desktop {

namespace {

// The first MaxTipLength bytes, backed off to the start of a UTF-8 character cut in two.
std::string cutTip(const std::string& tip)
{
    if (tip.size() <= TTrayIcon::MaxTipLength)
        return tip;
    std::size_t length = TTrayIcon::MaxTipLength;
    while (length > 0 && (static_cast<unsigned char>(tip[length]) & 0xC0) == 0x80)
        --length;
    return tip.substr(0, length);
}

} // namespace

TTrayIcon::TTrayIcon(QWidget* owner)
    : QObject(owner)
    , m_owner(owner)
    , m_tray(new QSystemTrayIcon(this))
{
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        onActivated(reason);
    });
}

TTrayIcon::~TTrayIcon()
{
    RemoveFromTray();
}

bool TTrayIcon::available()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TTrayIcon::setIcon(const QIcon& icon)
{
    m_icon = icon;
    NotifyTray(NimModify);
}

void TTrayIcon::setTip(const std::string& tip)
{
    m_tip = tip;
    NotifyTray(NimModify);
}

void TTrayIcon::setPopupMenu(QMenu* menu)
{
    m_popupMenu = menu;
    // The tray shows the menu itself: some desktops never pass the right click to the program.
    m_tray->setContextMenu(menu);
}

bool TTrayIcon::NotifyTray(int operation)
{
    if (!m_owner)
        return false;
    switch (operation) {
    case NimAdd:
        if (m_tray->isVisible())
            return false;
        applyToTray();
        m_tray->show();
        return true;
    case NimModify:
        if (!m_tray->isVisible())
            return false;
        applyToTray();
        return true;
    case NimDelete:
        if (!m_tray->isVisible())
            return false;
        m_tray->hide();
        return true;
    default:
        return false;
    }
}

bool TTrayIcon::isInTray() const
{
    return m_tray->isVisible();
}

std::string TTrayIcon::shownTip() const
{
    return m_tray->toolTip().toLocal8Bit().toStdString();
}

QIcon TTrayIcon::shownIcon() const
{
    return m_tray->icon();
}

void TTrayIcon::applyToTray()
{
    // A tray entry without a picture would be an invisible, unclickable hole.
    m_tray->setIcon(m_icon.isNull() ? QApplication::style()->standardIcon(QStyle::SP_TitleBarMenuButton) : m_icon);
    m_tray->setToolTip(QString::fromLocal8Bit(cutTip(m_tip)));
}

void TTrayIcon::onActivated(int reason)
{
    switch (static_cast<QSystemTrayIcon::ActivationReason>(reason)) {
    case QSystemTrayIcon::Context:
        // With a menu the tray has opened it, and that is all a right click does.
        if (!m_popupMenu)
            press();
        break;
    case QSystemTrayIcon::Trigger:
    case QSystemTrayIcon::MiddleClick:
        press();
        break;
    case QSystemTrayIcon::DoubleClick:
        fire(OnDblClick);
        break;
    default:
        break;
    }
}

// One click as the tray reports it: the press, then the release folded into it.
void TTrayIcon::press()
{
    const QPointer<TTrayIcon> alive(this);
    fire(OnMouseDown ? OnMouseDown : OnClick);
    // A handler may have closed the owner and with it this icon.
    if (alive)
        fire(OnMouseUp);
}

void TTrayIcon::fire(const Event& event)
{
    if (!event)
        return;
    // A copy, so that a handler may replace or clear its own event while it runs.
    const Event call = event;
    call(*this);
}

} // namespace desktop
