#include "common/desktop/gui/ReadMeWindow.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>

namespace desktop {

TReadMe::TReadMe(const ReadMeOptions& options, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_memo(new QPlainTextEdit(this))
    , m_escapeHides(options.escapeHides)
{
    setWindowTitle(QString::fromLocal8Bit(options.caption));
    resize(options.width, options.height);
    // Closing the read-me must not end a program whose main window sits hidden in the tray.
    setAttribute(Qt::WA_QuitOnClose, false);

    m_memo->setObjectName(QStringLiteral("Memo1"));
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(options.fontPixelHeight);
    m_memo->setFont(font);
    m_memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_memo->setPlainText(QString::fromLocal8Bit(options.text));
    m_memo->setReadOnly(options.readOnly);
    m_memo->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_memo);
}

void TReadMe::showReadMe()
{
    if (!m_placed) {
        // With its native window made, the window knows its frame where the platform tells it early.
        create();
        centreOnScreen();
        m_placed = true;
    }
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    m_memo->setFocus();
}

bool TReadMe::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_memo && m_escapeHides && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        hide();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TReadMe::centreOnScreen()
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The frame counts, where the desktop already told its size.
    QRect frame(QPoint(0, 0), frameGeometry().size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

} // namespace desktop
