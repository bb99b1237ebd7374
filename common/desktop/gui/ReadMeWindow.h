#pragma once

// A program's read-me: a top-level window whose one text control, Memo1, fills it and wraps long
// paragraphs at the window's width. It is built hidden, shown on request without blocking the
// main window, and closing it only hides it, so there is never more than one.

#include "common/desktop/gui/ReadMeOptions.h"

#include <QWidget>

class QPlainTextEdit;

namespace desktop {

class TReadMe final : public QWidget
{
    Q_OBJECT

public:
    explicit TReadMe(const ReadMeOptions& options, QWidget* parent = nullptr);

    // Shows the window (centred on the screen the first time), brings it to the front and gives
    // it the focus; a window already shown is only brought forward.
    void showReadMe();

    QPlainTextEdit* Memo1() const { return m_memo; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void centreOnScreen();

    QPlainTextEdit* m_memo;
    bool m_escapeHides;
    bool m_placed = false;
};

} // namespace desktop
