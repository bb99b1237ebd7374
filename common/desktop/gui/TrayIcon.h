#pragma once

// The notification-area icon of a main window. It keeps a picture and a tip, hands them to the
// desktop's tray on request (add, modify, delete) and turns the tray's clicks into events of its
// owner. It knows nothing of the program's states: the owner switches picture and tip.
//
// The desktop tray reports whole clicks, not presses and releases: a click fires OnMouseDown
// (or OnClick when OnMouseDown is unset) and then OnMouseUp; a right click that opens PopupMenu
// fires nothing; a double click fires OnDblClick. Moves over the icon are not reported, so
// OnMouseMove stays silent on this platform.
//
// Where the desktop has no tray (available() is false) the requests are still accepted and the
// icon appears if a tray starts later; an owner must then minimise its window instead of hiding
// it, so that the window is never out of reach.

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>

#include <cstddef>
#include <functional>
#include <string>

class QSystemTrayIcon;
class QWidget;

namespace desktop {

class TTrayIcon final : public QObject
{
    Q_OBJECT

public:
    // Operations of NotifyTray.
    static constexpr int NimAdd = 0;
    static constexpr int NimModify = 1;
    static constexpr int NimDelete = 2;
    // The tray shows at most this many bytes of the tip, never splitting a UTF-8 character.
    static constexpr std::size_t MaxTipLength = 63;

    using Event = std::function<void(TTrayIcon& sender)>;

    // The icon belongs to `owner` (a window) and dies with it. Without an owner every request is
    // refused and nothing shows.
    explicit TTrayIcon(QWidget* owner);
    // Takes the icon out of the tray.
    ~TTrayIcon() override;
    TTrayIcon(const TTrayIcon&) = delete;
    TTrayIcon& operator=(const TTrayIcon&) = delete;

    // Whether the desktop has a tray now.
    static bool available();

    // An empty picture shows the style's stock logo. Setting it modifies a shown icon at once;
    // before the first add the value is kept for that add.
    const QIcon& Icon() const { return m_icon; }
    void setIcon(const QIcon& icon);

    // The whole tip as set; the tray shows its first MaxTipLength bytes. Same update rule as Icon.
    const std::string& Tip() const { return m_tip; }
    void setTip(const std::string& tip);

    // Shown on a right click instead of any event; not owned. None by default.
    QMenu* PopupMenu() const { return m_popupMenu; }
    void setPopupMenu(QMenu* menu);

    Event OnClick;
    Event OnDblClick;
    Event OnMouseDown;
    Event OnMouseMove;
    Event OnMouseUp;

    // NimAdd, NimModify or NimDelete; false when refused: an add of an icon already in the tray,
    // a modify or delete of one that is not, an unknown operation, or no owner.
    bool NotifyTray(int operation);
    bool AddToTray() { return NotifyTray(NimAdd); }
    bool RemoveFromTray() { return NotifyTray(NimDelete); }

    // What the tray has been given, for the owner's decisions and for tests.
    bool isInTray() const;
    std::string shownTip() const;
    QIcon shownIcon() const;
    QSystemTrayIcon* platformIcon() const { return m_tray; }

private:
    void applyToTray();
    void onActivated(int reason);
    void press();
    void fire(const Event& event);

    QPointer<QWidget> m_owner;
    QSystemTrayIcon* m_tray;
    QIcon m_icon;
    std::string m_tip;
    QPointer<QMenu> m_popupMenu;
};

} // namespace desktop
