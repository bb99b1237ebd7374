// The read-me window as a user meets it: asked for again and again, closed, dismissed with
// Escape, typed into, and resized text that wraps.

#include "common/desktop/gui/ReadMeWindow.h"

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

using namespace desktop;

namespace {

ReadMeOptions mirrorLike()
{
    ReadMeOptions options;
    options.caption = "RPL - ReadMe";
    options.text = "Title\n~~~~~\n\nA paragraph of many words";
    for (int i = 0; i < 60; ++i)
        options.text += " word" + std::to_string(i);
    options.width = 527;
    options.height = 400;
    options.fontPixelHeight = 11;
    options.readOnly = true;
    options.escapeHides = true;
    return options;
}

ReadMeOptions monitorLike()
{
    ReadMeOptions options;
    options.caption = "SEN - ReadMe";
    options.text = "Title\n=====";
    options.width = 621;
    options.height = 421;
    options.fontPixelHeight = 13;
    options.readOnly = false;
    options.escapeHides = false;
    return options;
}

int shownReadMeWindows()
{
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<TReadMe*>(widget) && widget->isVisible())
            ++count;
    return count;
}

TEST(ReadMeWindow, AskedForTwiceIsOneCentredWindowAndClosingOnlyHidesIt)
{
    TReadMe readMe(mirrorLike());
    EXPECT_FALSE(readMe.isVisible());
    readMe.showReadMe();
    readMe.showReadMe();
    EXPECT_EQ(shownReadMeWindows(), 1);
    EXPECT_EQ(readMe.windowTitle(), QStringLiteral("RPL - ReadMe"));
    EXPECT_EQ(readMe.size(), QSize(527, 400));
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((readMe.frameGeometry().center() - screenCentre).manhattanLength(), 1);

    // Closing hides the window and, even as the last one shown (the main window may sit in the
    // tray), does not end the program: the loop runs on until the test ends it with its own code.
    QTimer::singleShot(0, &readMe, [&readMe] {
        readMe.close();
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(7); });
    });
    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    EXPECT_EQ(QApplication::exec(), 7);
    EXPECT_EQ(lastWindowClosed.count(), 0);
    EXPECT_FALSE(readMe.isVisible());

    // A window moved by the user stays where it was put.
    readMe.move(10, 20);
    readMe.showReadMe();
    EXPECT_EQ(shownReadMeWindows(), 1);
    EXPECT_EQ(readMe.pos(), QPoint(10, 20));
}

TEST(ReadMeWindow, EscapeHidesOnlyTheWindowThatAsksForIt)
{
    TReadMe mirror(mirrorLike());
    mirror.showReadMe();
    QTest::keyClick(mirror.Memo1(), Qt::Key_Escape);
    EXPECT_FALSE(mirror.isVisible());

    TReadMe monitor(monitorLike());
    monitor.showReadMe();
    QTest::keyClick(monitor.Memo1(), Qt::Key_Escape);
    EXPECT_TRUE(monitor.isVisible());
}

TEST(ReadMeWindow, ReadOnlyTextIgnoresTypingAndEditableTextTakesIt)
{
    TReadMe mirror(mirrorLike());
    mirror.showReadMe();
    const QString before = mirror.Memo1()->toPlainText();
    EXPECT_TRUE(mirror.Memo1()->isReadOnly());
    QTest::keyClicks(mirror.Memo1(), QStringLiteral("typed"));
    EXPECT_EQ(mirror.Memo1()->toPlainText(), before);

    TReadMe monitor(monitorLike());
    monitor.showReadMe();
    monitor.Memo1()->moveCursor(QTextCursor::End);
    QTest::keyClicks(monitor.Memo1(), QStringLiteral("typed"));
    EXPECT_EQ(monitor.Memo1()->toPlainText(), QStringLiteral("Title\n=====typed"));
}

TEST(ReadMeWindow, LongParagraphsWrapAtTheWindowWidth)
{
    TReadMe readMe(mirrorLike());
    readMe.showReadMe();
    QPlainTextEdit* memo = readMe.Memo1();
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    // The layout of a block is made on demand; asking for its bounds makes it.
    const QTextBlock paragraph = memo->document()->findBlockByNumber(3);
    auto lines = [&] {
        memo->document()->documentLayout()->blockBoundingRect(paragraph);
        return paragraph.layout()->lineCount();
    };
    const int narrow = lines();
    EXPECT_GT(narrow, 2);

    // Wider window, fewer lines: the wrap follows the resizing.
    readMe.resize(1200, 400);
    QApplication::sendPostedEvents();
    EXPECT_LT(lines(), narrow);
}

} // namespace
